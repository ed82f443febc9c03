#pragma once
// The fixed palettes of the colour reduction modes.
#include "gif/core/GIFTypes.h"
#include "platform/Bitmap.h"

TPalette Gray4Palette();       // levels 0, 128, 192, 255
TPalette BlackWhitePalette();  // levels 0, 255
TPalette Gray256Palette();     // entry i has level i
TPalette WebCube216Palette();  // entry 36i + 6j + k = (51i, 51j, 51k)

// The palette of a fixed mode (prSystem20 to prWebCube216); empty for any other mode.
TPalette FixedPalette(TPaletteReduction mode);
