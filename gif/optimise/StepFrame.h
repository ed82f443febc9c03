#pragma once
// A frame on its way from a picture to a GIF frame through the steps of TFrameSteps; reused
// for frame after frame. The octree colours use the picture and the frame only; the fitted
// colour road makes a GIF frame from a picture in three steps:
//   1. FitPalette (TFramePaletteFitter, any thread, frames in any order): a palette fitted to
//      the picture;
//   2. Remap (TScreenRemapper, one frame at a time in frame order): compared with what the
//      screen shows after the frames before it, the pixels that changed get palette indices,
//      the others become transparent, and the frame shrinks to the rectangle that changed;
//   3. Code (TFittedFrameCoder, any thread): the frame shrinks further to the pixels drawn,
//      and becomes the GIF frame, its image data LZW-coded.
// Steps 1 and 3, the costly ones, run on several threads while step 2 keeps the order.
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/colour/NearestColor.h"
#include "gif/core/GIFTypes.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

struct TStepFrame {
    // The picture: rows of blue, green, red.
    TBitmap Picture{0, 0, pf24bit};
    // How the octree colours reduce it: the document's settings when the picture came.
    TGIFImportSettings Import{prOctreePlusSystem, edNearest, 8};
    // The picture of the frame before (empty for the first frame): the palette is fitted to the
    // pixels that differ from it, which are those the frame is likely to draw.
    TBitmap Previous{0, 0, pf24bit};

    // Step 1: colours fitted to the picture (at most 255, the last entry of the frame's table
    // being kept for transparency), and how much each pixel differs from its neighbours
    // (LocalContrast.h), which tells where to dither and how much lossy coding may change: not
    // measured for a frame with few changes, which is neither.
    std::vector<TGIFColor> Palette;
    std::vector<uint8_t> Contrast;
    // The frame changes few pixels (TColorQuality::FewChangesShare): Palette holds the colours
    // of those that the global table lacks, the frame draws with entries of both, and its
    // pixels are neither dithered nor coded lossily, since they stay on screen while the rest
    // stands still.
    bool FewChanges = false;
    // The lookup of Palette, its cells already filled for the colours that changed, and for
    // each changed pixel (of the whole picture) the entry it takes (dithered) and its cell's
    // entries with kMapped set: the remap, which runs one frame at a time, finds most of its
    // work done when the frame draws with its own palette.
    TNearestColor PaletteLookup;
    static constexpr uint32_t kMapped = 0x80000000u;
    std::vector<uint8_t> PaletteIndices;
    std::vector<uint32_t> PaletteCandidates;
    // A frame with few changes draws with a table the remap makes, so its pixels are not mapped
    // to Palette alone; PaletteCandidates then holds, for each changed pixel, its nearest entry
    // of the global table (bits 0-7) and of Palette (bits 8-15, kNoEntry without a palette) with
    // kMapped set: the remap, one frame at a time, looks up neither.
    static constexpr uint32_t kNoEntry = 0xFF;

    // Step 2: the rectangle of the logical screen the frame covers (empty when nothing changed:
    // the frame adds nothing and its time goes to the frame before it) and its pixels, Width x
    // Height indices.
    TRect Area;
    std::vector<uint8_t> Indices;
    // Whether the frame has Palette as its own colour table; otherwise it uses the global one.
    bool OwnTable = false;
    // Bits per pixel of the table the frame uses (its code size).
    int TableBits = 8;
    // The index of transparent pixels, -1 when the frame has none.
    int TransparentIndex = -1;
    // The entry of the frame's table kept for transparency (after its colours), and whether
    // the frame may use it at all (not when it must cover the whole screen).
    int TransparencySlot = 0;
    bool MayBeTransparent = false;
    // What the screen showed in Area before the frame: red, green, blue per pixel (the
    // buffer may hold more).
    std::vector<uint8_t> Shown;
    // Per pixel of Area, the entries of the frame's table nearest to its colour (as
    // TNearestColor::CellEntries packs them); 0 for a transparent pixel (the buffer may hold
    // more).
    std::vector<uint32_t> Candidates;
    // The frame's table is the global one, which this frame begins (the first frame): the
    // document's global table is to be set to it before the frame is written.
    bool BeginsGlobalTable = false;

    // Step 3: the frame, ready to be written; null when it adds nothing.
    std::unique_ptr<TGIFSubImage> Frame;
    // The frame as it was before optimising it against the screen, while both are weighed.
    std::unique_ptr<TGIFSubImage> Unoptimized;

    bool AddsNothing() const { return Area.Empty(); }
};
