#include "gif/optimise/FramePaletteFitter.h"

#include <algorithm>

#include "gif/colour/ColorDistance.h"
#include "gif/optimise/LocalContrast.h"

namespace {

constexpr int kFirstPasses = 6;
// A first picture's refinement looks at about this many of its pixels (all of them up to 640x480
// and a little more, scattered over a larger one): its palette stays on screen for as long as
// the background does, and a sample of a few pixels in each row misses thin lines and small
// marks. Six passes over them cost a few milliseconds, once.
constexpr int kFirstSamples = 1 << 18;

// The pixels of a row of blue, green, red that differ from the same row of the picture before;
// returns how many.
int AddChangedPixels(TPaletteBuilder& builder, const uint8_t* row, const uint8_t* before, int width,
                     int keepDistance) {
    int added = 0;
    for (int x = 0; x < width; ++x, row += 3, before += 3) {
        if (ColorDistance(row[2] - before[2], row[1] - before[1], row[0] - before[0]) <=
            keepDistance)
            continue;
        builder.Add(row[2], row[1], row[0]);
        ++added;
    }
    return added;
}

}  // namespace

// Sets the frame's palette lookup; with mapPixels, also maps every pixel that changed to the
// palette (dithered as the remap would), which fills the cells the remap will ask for.
void TFramePaletteFitter::PrepareLookup(TStepFrame& frame, bool changesOnly, bool mapPixels) const {
    TNearestColor& lookup = frame.PaletteLookup;
    lookup.SetPalette(frame.Palette);
    const TBitmap& picture = frame.Picture;
    const int width = picture.Width();
    const size_t pixels = static_cast<size_t>(width) * picture.Height();
    frame.PaletteIndices.resize(pixels);
    frame.PaletteCandidates.assign(pixels, 0);
    if (frame.Palette.empty() || !mapPixels) return;
    const bool dither = dither_.Enabled();
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* row = picture.ScanLine(y);
        const uint8_t* before = changesOnly ? frame.Previous.ScanLine(y) : nullptr;
        const size_t start = static_cast<size_t>(y) * width;
        const uint8_t* contrast = frame.Contrast.data() + start;
        for (int x = 0; x < width; ++x, row += 3) {
            const int r = row[2], g = row[1], b = row[0];
            if (before) {
                const uint8_t* p = before + 3 * x;
                if (ColorDistance(r - p[2], g - p[1], b - p[0]) <= quality_.KeepDistance) continue;
            }
            const uint32_t entries = lookup.CellEntries(r, g, b);
            frame.PaletteIndices[start + x] =
                static_cast<uint8_t>(dither && contrast[x] <= quality_.DitherMaxContrast
                                         ? dither_.Map(lookup, entries, x, y, r, g, b)
                                         : lookup.Nearest(entries, r, g, b));
            frame.PaletteCandidates[start + x] = entries | TStepFrame::kMapped;
        }
    }
}

void TFramePaletteFitter::FitPalette(TStepFrame& frame) {
    const TBitmap& picture = frame.Picture;
    const TBitmap& previous = frame.Previous;
    const bool changesOnly =
        previous.Width() == picture.Width() && previous.Height() == picture.Height();
    const int pixels = picture.Width() * picture.Height();
    // Only a first picture's palette is refined, so only it is sampled.
    const int passes = changesOnly ? TPaletteBuilder::kDefaultPasses : kFirstPasses;
    builder_.SetSampleStep(passes == 0 ? 0 : std::max(1, pixels / kFirstSamples));
    int changed = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        if (changesOnly)
            changed += AddChangedPixels(builder_, picture.ScanLine(y), previous.ScanLine(y),
                                        picture.Width(), quality_.KeepDistance);
        else
            builder_.AddRow(picture.ScanLine(y), picture.Width());
    }
    // A first picture's palette becomes the global table and draws all of what stands still:
    // it gets more refinement.
    const bool fewChanges =
        changesOnly && static_cast<int64_t>(changed) * quality_.FewChangesShare <= pixels;
    frame.Palette =
        builder_.Build(fewChanges ? quality_.FewChangesColors : quality_.MaxColors, passes);
    MeasureContrast(picture, frame.Contrast, rows_);
    // A frame with few changes draws with entries of both its palette and the global table, a
    // table the remap maps its pixels to itself.
    PrepareLookup(frame, changesOnly, mapChanges_ && !fewChanges);
}
