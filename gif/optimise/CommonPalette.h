#pragma once
// One colour table for every frame of a document.
#include <functional>

#include "gif/core/GIFTypes.h"

class TGIFImage;

// Builds a palette from the colours all frames show (prNone: those colours themselves, "Color
// table overflow" when more than fit; prSystem20 to prWebCube216: the mode's fixed palette;
// prOctree and prOctreePlusSystem: an octree of every frame's pixels, 2^bits colours or 236
// beside the 20 system colours), maps each frame's pixels to it with the dithering engine
// `diffusion`, keeps transparent pixels transparent, and makes it the global colour table in
// place of the frames' local ones. Other modes fail with "Invalid reduction method", before
// anything changes. `frameDone` is called after each frame.
void ReduceToCommonPalette(TGIFImage& image, TPaletteReduction mode, int bits,
                           TErrorDiffusion diffusion, const std::function<void()>& frameDone);
