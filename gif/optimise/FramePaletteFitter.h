#pragma once
// Step 1 of the fitted colour road (see FittedFrame.h): a palette fitted to the frame's picture.
// One fitter serves one thread, frame after frame.
#include "gif/colour/PaletteBuilder.h"
#include "gif/optimise/ColorQuality.h"
#include "gif/optimise/StepFrame.h"

class TFramePaletteFitter {
public:
    explicit TFramePaletteFitter(const TColorQuality& quality) : quality_(quality) {}

    // Fills frame.Palette from frame.Picture.
    void FitPalette(TStepFrame& frame);

private:
    TColorQuality quality_;
    TPaletteBuilder builder_;
};
