#pragma once
// The fitted colour road as frame steps: a palette fitted to what changed (Quantize), the
// remap against the picture on screen (Remap), lossy LZW (Compress). See FittedFrame.h.
#include "gif/optimise/ColorQuality.h"
#include "gif/optimise/FirstPalette.h"
#include "gif/optimise/FrameSteps.h"
#include "gif/optimise/ScreenRemapper.h"

class TFittedFrameSteps final : public TFrameSteps {
public:
    // `diffusion`: an error diffusion engine for the changed pixels instead of the pattern.
    TFittedFrameSteps(const TColorQuality& quality, TGIFEncoding encoding,
                      TErrorDiffusion diffusion = edNearest);

    std::unique_ptr<TFrameStepsThread> NewThread() const override;
    bool UsesPreviousPicture() const override { return true; }
    void Quantize(TStepFrame& frame, TFrameStepsThread& thread) const override;
    void Remap(TStepFrame& frame) override { remapper_.Remap(frame); }
    void Compress(TStepFrame& frame, TFrameStepsThread& thread) const override;
    const std::vector<TGIFColor>& GlobalTable() const override { return remapper_.GlobalTable(); }
    // What the viewer shows after the frames remapped so far (see TScreenRemapper::Screen).
    const std::vector<uint8_t>& Screen() const { return remapper_.Screen(); }

private:
    TColorQuality quality_;
    TGIFEncoding encoding_;
    TErrorDiffusion diffusion_;
    TScreenRemapper remapper_;
    // The first frame's palette, for the frames with few changes, whichever threads fit them.
    mutable TFirstPalette firstPalette_;
};
