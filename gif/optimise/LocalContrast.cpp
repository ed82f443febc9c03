#include "gif/optimise/LocalContrast.h"

#include <algorithm>

namespace {

// |a - b| of `count` bytes, written so that the compiler can use vectors.
void Differences(const uint8_t* a, const uint8_t* b, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i) out[i] = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
}

}  // namespace

// A row's bytes are compared with the pixel to the left (three bytes before) and the row above,
// all channels at once; each pixel then takes the largest of its three channels.
void MeasureContrast(const TBitmap& picture, std::vector<uint8_t>& contrast,
                     std::vector<uint8_t>& scratch) {
    const int width = picture.Width(), height = picture.Height();
    contrast.resize(static_cast<size_t>(width) * height);
    if (width == 0) return;
    const size_t bytes = static_cast<size_t>(width) * 3;
    scratch.resize(2 * bytes);
    uint8_t* left = scratch.data();
    uint8_t* above = left + bytes;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.ScanLine(y);
        left[0] = left[1] = left[2] = 0;
        Differences(row + 3, row, bytes - 3, left + 3);
        if (y > 0) {
            Differences(row, picture.ScanLine(y - 1), bytes, above);
            for (size_t i = 0; i < bytes; ++i) left[i] = std::max(left[i], above[i]);
        }
        // Each byte's largest with the two after it, on vectors; every third is a pixel's.
        for (size_t i = 0; i + 2 < bytes; ++i)
            above[i] = std::max({left[i], left[i + 1], left[i + 2]});
        uint8_t* out = contrast.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) out[x] = above[3 * x];
    }
}
