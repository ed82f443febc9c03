#pragma once
// How pictures become GIF frames, as three steps that a pipeline of threads can overlap:
//   Quantize (any thread, frames in any order): the colours of the picture;
//   Remap (one frame at a time, in frame order): what depends on the frames before it;
//   Compress (any thread): the frame's image data coded.
// Each thread keeps a TFrameStepsThread of its own (palettes, lookups, encoders) from frame to
// frame; the steps object itself holds what runs in order (the picture on screen). The picture
// goes in as frame.Picture; the GIF frame comes out as frame.Frame (null when the frame adds
// nothing, its time then belonging to the frame before), with frame.BeginsGlobalTable telling
// that the document's global colour table is to become GlobalTable() before it is written.
#include <memory>
#include <vector>

#include "gif/core/GIFTypes.h"
#include "gif/optimise/StepFrame.h"

class TFrameStepsThread {
public:
    virtual ~TFrameStepsThread() = default;
};

class TFrameSteps {
public:
    virtual ~TFrameSteps() = default;

    virtual std::unique_ptr<TFrameStepsThread> NewThread() const = 0;
    // Whether Quantize looks at the picture before (frame.Previous).
    virtual bool UsesPreviousPicture() const { return false; }

    virtual void Quantize(TStepFrame& frame, TFrameStepsThread& thread) const = 0;
    virtual void Remap(TStepFrame& frame) = 0;
    virtual void Compress(TStepFrame& frame, TFrameStepsThread& thread) const = 0;

    // The document's global colour table; empty when frames carry their own tables.
    virtual const std::vector<TGIFColor>& GlobalTable() const = 0;
};
