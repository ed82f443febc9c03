#pragma once
// The platform's fixed palettes and its nearest-palette-index query.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/NearestColorIndex.h"

// The 20 static system colours of the default palette.
const TPalette& SystemPalette20();
// The 256-entry halftone palette: system colours 0-9, the 6x6x6 cube (red slowest),
// a 20-step grey ramp, system colours 10-19.
const TPalette& HalftonePalette();
// The 16-colour palette of 4-bit bitmaps: system colours 0-7 and 12-19.
const TPalette& VGAPalette16();

// One-off query by a plain scan (use TNearestColorIndex for many pixels).
int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);
