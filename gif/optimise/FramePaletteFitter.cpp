#include "gif/optimise/FramePaletteFitter.h"

#include "gif/colour/ColorDistance.h"
#include "gif/optimise/LocalContrast.h"

namespace {

constexpr int kFirstPasses = 6;

// The pixels of a row of blue, green, red that differ from the same row of the picture before.
void AddChangedPixels(TPaletteBuilder& builder, const uint8_t* row, const uint8_t* before,
                      int width, int keepDistance) {
    for (int x = 0; x < width; ++x, row += 3, before += 3)
        if (ColorDistance(row[2] - before[2], row[1] - before[1], row[0] - before[0]) >
            keepDistance)
            builder.Add(row[2], row[1], row[0]);
}

}  // namespace

void TFramePaletteFitter::FitPalette(TStepFrame& frame) {
    const TBitmap& picture = frame.Picture;
    const TBitmap& previous = frame.Previous;
    const bool changesOnly =
        previous.Width() == picture.Width() && previous.Height() == picture.Height();
    const int pixels = picture.Width() * picture.Height();
    builder_.SetSampleStep(pixels / TPaletteBuilder::kSamplesWanted);
    for (int y = 0; y < picture.Height(); ++y) {
        if (changesOnly)
            AddChangedPixels(builder_, picture.ScanLine(y), previous.ScanLine(y), picture.Width(),
                             quality_.KeepDistance);
        else
            builder_.AddRow(picture.ScanLine(y), picture.Width());
    }
    // A first picture's palette becomes the global table and draws all of what stands still:
    // it gets more refinement.
    frame.Palette = builder_.Build(quality_.MaxColors,
                                   changesOnly ? TPaletteBuilder::kDefaultPasses : kFirstPasses);
    MeasureContrast(picture, frame.Contrast);
}
