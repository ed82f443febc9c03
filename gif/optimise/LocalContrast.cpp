#include "gif/optimise/LocalContrast.h"

#include <algorithm>
#include <cstdlib>

namespace {

inline int Largest(const uint8_t* a, const uint8_t* b) {
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

}  // namespace

void MeasureContrast(const TBitmap& picture, std::vector<uint8_t>& contrast) {
    const int width = picture.Width(), height = picture.Height();
    contrast.resize(static_cast<size_t>(width) * height);
    const uint8_t* above = nullptr;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.ScanLine(y);
        uint8_t* out = contrast.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            int c = x > 0 ? Largest(row + 3 * x, row + 3 * x - 3) : 0;
            if (above) c = std::max(c, Largest(row + 3 * x, above + 3 * x));
            out[x] = static_cast<uint8_t>(c);
        }
        above = row;
    }
}
