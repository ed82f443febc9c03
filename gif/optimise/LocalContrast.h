#pragma once
// How much a pixel differs from its neighbours to the left and above: the largest difference of
// a channel, 0 to 255. Texture and edges hide small errors that a smooth area shows; the fitted
// road allows more error where this is high and dithers only where it is low.
#include <algorithm>
#include <cstdlib>

#include "platform/Bitmap.h"

// `pixel` points at (x, y) of `picture` (blue, green, red).
inline int LocalContrast(const TBitmap& picture, int x, int y, const uint8_t* pixel) {
    int contrast = 0;
    if (x > 0)
        for (int c = 0; c < 3; ++c)
            contrast = std::max(contrast, std::abs(pixel[c] - pixel[c - 3]));
    if (y > 0) {
        const uint8_t* above = picture.ScanLine(y - 1) + 3 * x;
        for (int c = 0; c < 3; ++c) contrast = std::max(contrast, std::abs(pixel[c] - above[c]));
    }
    return contrast;
}
