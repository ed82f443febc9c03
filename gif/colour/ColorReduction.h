#pragma once
// Reduction of a true-colour bitmap to an 8-bit indexed one.
#include <cstdint>
#include <memory>

#include "gif/core/GIFTypes.h"
#include "platform/Bitmap.h"

// Returns a new bitmap for `bitmap` reduced by `mode`:
// - prNone: a 24-bit copy of the source;
// - prSystem20 .. prOctreePlusSystem, and prCallerPalette with a palette: an 8-bit bitmap
//   whose palette has 256 entries, the mode's palette first and the rest black;
// - an empty bitmap for a mode above prCallerPalette, a diffusion above edBurkes,
//   prCallerPalette without a palette, or a palette with no colours.
// `reductionBits` (0 to 8) sets the 2^bits colours of prOctree; `palette` is copied.
// Except for prNone, the source is converted in place to 24 bits per pixel.
std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap& bitmap, TPaletteReduction mode,
                                            TErrorDiffusion diffusion, int reductionBits,
                                            const TPalette* palette);

// The same reduction for modes prSystem20 to prCallerPalette, written as `width` x `height`
// indices (rows top to bottom, `width` bytes each) to `indices`, and the 256-entry colour table
// the 8-bit bitmap would have to `colorTable`. False, writing nothing, where ReduceBitmapColors
// gives an empty bitmap, and for prNone or an empty bitmap.
bool ReduceBitmapColorsTo(TBitmap& bitmap, TPaletteReduction mode, TErrorDiffusion diffusion,
                          int reductionBits, const TPalette* palette, uint8_t* indices,
                          TPalette& colorTable);
