// The document's optimisation: the frame optimiser's passes run with the painters stopped, on
// request or before a save when GIFDefaults asks for it.
#include <mutex>

#include "gif/model/GIFDefaults.h"
#include "gif/model/GIFImage.h"
#include "gif/optimise/FrameOptimizer.h"
#include "gif/paint/GIFPainter.h"

namespace {

// What optimising before a save does: every pass that keeps the pictures as they were.
constexpr TGIFOptimizeOptions kSavingOptimization = ooCrop | ooMerge | ooCleanup | ooColorMap;

}  // namespace

void TGIFImage::OptimizeFrames(TGIFOptimizeOptions options, TPaletteReduction mode, int bits,
                               TErrorDiffusion diffusion) {
    if (Empty()) return;
    StopPainting();
    {
        std::lock_guard<std::recursive_mutex> guard(painters_->Lock());
        RunFrameOptimizer(*this, options, mode, bits, diffusion);
    }
    Changed();
}

void TGIFImage::OptimizeBeforeSaving() {
    OptimizeFrames(kSavingOptimization, reductionMode_, quantizeBits_, diffusionMode_);
}
