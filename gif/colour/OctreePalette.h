#pragma once
// Palettes built for a picture by the octree quantizer.
#include "gif/colour/DIBAccess.h"
#include "platform/Bitmap.h"

// Without system colours: `colors` entries (1 to 256), the quantizer's colours first, the rest
// black. With system colours: 256 entries, the 20 static system colours at 0-9 and 246-255 and up
// to 236 quantizer colours from entry 10 (the rest black); `colors` is not used. `source` gives the
// rows of a 24-bit picture of `width` x `height` pixels.
TPalette OctreePalette(TDIB& source, int width, int height, int colors, bool withSystemColors);
