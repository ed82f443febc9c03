#include "gif/colour/OctreePalette.h"

#include <algorithm>

#include "gif/colour/OctreeQuantizer.h"
#include "platform/SystemPalette.h"

namespace {

constexpr int kFullPalette = 256;
constexpr int kSystemHalf = 10;
constexpr int kOctreeColorsBesideSystem = kFullPalette - 2 * kSystemHalf;

}  // namespace

TPalette OctreePalette(TDIB& source, int width, int height, int colors, bool withSystemColors) {
    colors = std::clamp(colors, 1, kFullPalette);
    const int quantizerColors = withSystemColors ? kOctreeColorsBesideSystem : colors;
    TPalette palette(withSystemColors ? kFullPalette : colors);
    const int first = withSystemColors ? kSystemHalf : 0;
    if (withSystemColors) {
        const TPalette& system = SystemPalette20();
        std::copy(system.begin(), system.begin() + kSystemHalf, palette.begin());
        std::copy(system.begin() + kSystemHalf, system.end(), palette.end() - kSystemHalf);
    }

    TColorQuantizer quantizer(quantizerColors);
    for (int row = 0; row < height; ++row) quantizer.AddRow(source.ScanLine(row), width);

    const TPalette table = quantizer.ColorTable();
    const size_t count = std::min(table.size(), static_cast<size_t>(quantizerColors));
    std::copy(table.begin(), table.begin() + count, palette.begin() + first);
    return palette;
}
