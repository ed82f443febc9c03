#include "gif/optimise/FittedFrameSteps.h"

#include "gif/optimise/FittedFrameCoder.h"
#include "gif/optimise/FramePaletteFitter.h"

namespace {

struct TFittedThread final : TFrameStepsThread {
    TFittedThread(const TColorQuality& quality, TErrorDiffusion diffusion)
        : Fitter(quality, diffusion == edNearest), Coder(quality) {}
    TFramePaletteFitter Fitter;
    TFittedFrameCoder Coder;
};

}  // namespace

TFittedFrameSteps::TFittedFrameSteps(const TColorQuality& quality, TGIFEncoding encoding,
                                     TErrorDiffusion diffusion)
    : quality_(quality),
      encoding_(encoding),
      diffusion_(diffusion),
      remapper_(quality, diffusion) {}

// A thread that cannot be set up may be the one that was to fit the first frame: the frames
// waiting for its palette go on without it rather than wait for ever.
std::unique_ptr<TFrameStepsThread> TFittedFrameSteps::NewThread() const {
    try {
        return std::make_unique<TFittedThread>(quality_, diffusion_);
    } catch (...) {
        firstPalette_.Publish({});
        throw;
    }
}

void TFittedFrameSteps::Quantize(TStepFrame& frame, TFrameStepsThread& thread) const {
    static_cast<TFittedThread&>(thread).Fitter.FitPalette(frame, firstPalette_);
}

// The global table is complete once the first frame is remapped, before any frame is coded.
void TFittedFrameSteps::Compress(TStepFrame& frame, TFrameStepsThread& thread) const {
    static_cast<TFittedThread&>(thread).Coder.Code(frame, remapper_.GlobalTable(), encoding_);
}
