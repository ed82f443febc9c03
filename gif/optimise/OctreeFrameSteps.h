#pragma once
// The specified colours as frame steps: each picture reduced with the settings it came with
// (frame.Import: the octree with the system colours, by default) into a frame with its own
// table (Quantize),
// its image data coded (Compress). With optimising on, Remap also shrinks each frame against
// the picture the frames before it left on screen: its table sorted by use (unused entries
// dropped), the pixels that show what the screen shows already made transparent, the frame
// cropped to what changed, a frame that changes nothing dropped; and Compress keeps whichever
// of the optimised and the whole frame codes smaller. The pictures a viewer composes stay the
// same, frame after frame, without holding the animation in memory.
#include <memory>
#include <vector>

#include "gif/model/GIFSubImage.h"
#include "gif/optimise/FrameSteps.h"
#include "gif/paint/GIFComposer.h"

class TOctreeFrameSteps final : public TFrameSteps {
public:
    TOctreeFrameSteps(TGIFEncoding encoding, bool optimize);

    std::unique_ptr<TFrameStepsThread> NewThread() const override;
    void Quantize(TStepFrame& frame, TFrameStepsThread& thread) const override;
    void Remap(TStepFrame& frame) override;
    void Compress(TStepFrame& frame, TFrameStepsThread& thread) const override;
    const std::vector<TGIFColor>& GlobalTable() const override { return noTable_; }

private:
    // Makes the pixels the screen already shows transparent and crops the frame to the rest;
    // false when the frame's table has no room for a transparent entry.
    bool MergeWithScreen(TGIFSubImage& frame);

    TGIFEncoding encoding_;
    bool optimize_;
    std::unique_ptr<TGIFComposer> screen_;
    const std::vector<TGIFColor> noTable_;
};
