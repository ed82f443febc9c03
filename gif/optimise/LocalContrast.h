#pragma once
// How much each pixel differs from its neighbours to the left and above: the largest difference
// of a channel, 0 to 255. Texture and edges hide small errors that a smooth area shows; the
// fitted road allows more error where this is high and dithers only where it is low.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

// The contrast of every pixel of `picture` (blue, green, red rows), row by row, into `contrast`;
// `scratch` is working space, kept by the caller from picture to picture.
void MeasureContrast(const TBitmap& picture, std::vector<uint8_t>& contrast,
                     std::vector<uint8_t>& scratch);
