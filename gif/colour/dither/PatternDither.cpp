#include "gif/colour/dither/PatternDither.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kTileBits = 6;
constexpr int kTileSide = 1 << kTileBits;

// Interleaved gradient noise: a cheap pattern whose neighbouring thresholds differ a lot, so
// that the dithered pixels scatter evenly instead of clumping or forming a grid.
std::array<uint8_t, kTileSide * kTileSide> MakeTile() {
    std::array<uint8_t, kTileSide * kTileSide> tile{};
    for (int y = 0; y < kTileSide; ++y)
        for (int x = 0; x < kTileSide; ++x) {
            const double inner = std::fmod(0.06711056 * x + 0.00583715 * y, 1.0);
            const double noise = std::fmod(52.9829189 * inner, 1.0);
            tile[static_cast<size_t>(y * kTileSide + x)] =
                static_cast<uint8_t>(std::min(255.0, noise * 256.0));
        }
    return tile;
}

const std::array<uint8_t, kTileSide* kTileSide> kTile = MakeTile();

int Clamp(int value) { return std::clamp(value, 0, 255); }

}  // namespace

int TPatternDither::Threshold(int x, int y) {
    return kTile[static_cast<size_t>(((y & (kTileSide - 1)) << kTileBits) | (x & (kTileSide - 1)))];
}

// The other entry is the one of the cell's entries nearest to the nearest entry's mirror image
// through the colour: the entry on the far side of the colour. (Looking only among the cell's
// entries costs no second lookup, and an entry farther away than those would give a coarser
// pattern than the gradient needs.) The share of the pixels that get it is where the colour lies
// on the way from the nearest entry to it (0 at the nearest, 1 at the other).
int TPatternDither::Map(const TNearestColor& nearest, uint32_t entries, int x, int y, int r, int g,
                        int b) const {
    const int first = nearest.Nearest(entries, r, g, b);
    if (!Enabled()) return first;
    const TGIFColor& near = nearest.Color(first);
    const int dr = r - near.Red, dg = g - near.Green, db = b - near.Blue;
    if (dr == 0 && dg == 0 && db == 0) return first;
    const int other = nearest.Nearest(entries, Clamp(r + dr), Clamp(g + dg), Clamp(b + db));
    if (other == first) return first;
    const TGIFColor& far = nearest.Color(other);
    const int gap = ColorDistance(near, far);
    if (gap < minGap_ || gap > maxGap_) return first;
    const int along = kPerceptualWeights.Red * dr * (far.Red - near.Red) +
                      kPerceptualWeights.Green * dg * (far.Green - near.Green) +
                      kPerceptualWeights.Blue * db * (far.Blue - near.Blue);
    // Threshold + 0.5 below share x 256, with share = along / gap.
    return (2 * Threshold(x, y) + 1) * gap < 512 * along ? other : first;
}
