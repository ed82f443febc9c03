#pragma once
// Step 1 of the fitted colour road (see FittedFrame.h): a palette fitted to the frame's picture.
// One fitter serves one thread, frame after frame.
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/colour/PaletteBuilder.h"
#include "gif/colour/dither/PatternDither.h"
#include "gif/optimise/ColorQuality.h"
#include "gif/optimise/FirstPalette.h"
#include "gif/optimise/StepFrame.h"
#include "gif/optimise/StillRuns.h"

class TFramePaletteFitter {
public:
    // `mapChanges`: the changed pixels are mapped to the palette too (not when they are to be
    // dithered by error diffusion, which depends on the remap).
    explicit TFramePaletteFitter(const TColorQuality& quality, bool mapChanges = true)
        : quality_(quality),
          dither_(quality.DitherMinGap, quality.DitherMaxGap),
          mapChanges_(mapChanges),
          stillLevels_(StillLevels(quality.KeepDistance)) {}

    // Fills frame.Palette from frame.Picture. The first frame of an output (without a previous
    // picture) hands its palette, the global table, to `first`; a later frame with few changes
    // waits for it there.
    void FitPalette(TStepFrame& frame, TFirstPalette& first);

private:
    void FitFirstPalette(TStepFrame& frame);
    void FitChangesPalette(TStepFrame& frame, const TFirstPalette& first);
    void AddNewColors(TStepFrame& frame);
    void AddOwnEntries(TStepFrame& frame) const;
    // Sets the frame's palette lookup; with mapPixels, maps the changed pixels to it too.
    void PrepareLookup(TStepFrame& frame, bool changesOnly, bool mapPixels);

    TColorQuality quality_;
    TPatternDither dither_;
    bool mapChanges_;
    int stillLevels_;  // see StillRuns.h
    TPaletteBuilder builder_;
    std::vector<uint8_t> rows_;  // MeasureContrast's working space
    // The global table's lookup, made when a frame with few changes first needs it.
    std::unique_ptr<TNearestColor> globalLookup_;
    bool globalKnown_ = false;  // globalLookup_ holds this output's global table
    // The positions (y * width + x) of the frame's changed pixels, in order, when they are few.
    std::vector<uint32_t> changed_;
    // Per pixel of the frame: 1 where it changed since the picture before, else 0.
    std::vector<uint8_t> moved_;
    // The cell entries of a row's pixels, as PrepareLookup maps them.
    std::vector<uint32_t> rowEntries_;
};
