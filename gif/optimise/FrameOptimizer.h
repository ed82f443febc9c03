#pragma once
// Making an animation smaller without changing what it shows.
#include "gif/core/GIFTypes.h"

class TGIFImage;

// Runs the passes `options` asks for over the document's frames, in this order (each pass keeps
// the pictures a viewer composes, frame by frame, except the colour reduction, which changes
// colours to the common palette):
//   ooReduceColors  one palette for all frames (see ReduceToCommonPalette);
//   ooColorMap      every colour table sorted by use, unused entries dropped;
//   ooCleanup       transparency no pixel uses dropped; a disposal that the next frame hides
//                   completely becomes "none";
//   ooMerge         pixels showing the colour already on screen become transparent;
//   ooCrop          transparent frames cropped to their visible pixels; frames that show
//                   nothing are deleted, their delay added to the frame before;
//   ooCleanup       comments, plain text, unknown application blocks, looping extensions off
//                   the first frame, graphic control extensions that carry nothing, and frames
//                   left with nothing are deleted.
// Reports "Optimizing..." progress through the document. Painters must be stopped first.
void RunFrameOptimizer(TGIFImage& image, TGIFOptimizeOptions options, TPaletteReduction mode,
                       int bits, TErrorDiffusion diffusion);
