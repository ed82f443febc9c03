#pragma once
// Step 3 of the fitted colour road (see FittedFrame.h): the GIF frame of a remapped frame, its
// image data coded. Where the quality allows, pixels first change for others within the lossy
// distance of the picture (an entry of nearly the same colour, or transparency where the screen
// already shows nearly that colour) when that makes the LZW strings longer; a transparent pixel
// never changes, so what stands still stays still. The first frame and frames with few changes,
// whose pixels stay on screen longest, are coded exactly. The frame leaves the previous picture in
// place (disposal "do not dispose"), marks its transparent index, and carries a delay of 0 for
// whoever times it. One coder serves one thread, frame after frame.
#include "gif/codec/GIFEncoderCache.h"
#include "gif/codec/LZWStrings.h"
#include "gif/codec/LossyLZW.h"
#include "gif/core/GIFTypes.h"
#include "gif/optimise/ColorQuality.h"
#include "gif/optimise/StepFrame.h"

class TFittedFrameCoder {
public:
    explicit TFittedFrameCoder(const TColorQuality& quality) : quality_(quality) {}

    // Sets frame.Frame (null when the frame adds nothing). `globalTable` is the document's
    // global colour table, which a frame without a table of its own uses.
    void Code(TStepFrame& frame, const std::vector<TGIFColor>& globalTable, TGIFEncoding encoding);

private:
    // Whether it rewrote the frame's pixels (and found their strings).
    bool RewriteLossily(TStepFrame& frame, const std::vector<TGIFColor>& table);

    TColorQuality quality_;
    TGIFEncoderCache encoders_;
    TLossyLZW lossy_;
    TLZWStrings strings_;
};
