#pragma once
// The timing of a GIF made from a clip: every frame shows for as long as it lasts in the clip,
// in hundredths of a second, and the document loops.
#include <cstdint>

// How the frame sink times the document.
struct TFrameTimingOptions {
    // Each frame gets a graphic control extension with its delay; off gives frames without
    // delays and no looping extension.
    bool Enabled = true;
    // The first frame carries a looping extension (with timing on only).
    bool Looping = true;
    // Times the animation repeats; 0 repeats it for ever.
    int LoopCount = 0;
};

// Ticks of a stream (its time base): one tick lasts Num / Den seconds.
struct TTickLength {
    int Num = 0;
    int Den = 0;
    bool Valid() const { return Num > 0 && Den > 0; }
};

// Turns the frames' timestamps into delays. A frame's delay is known when the next frame
// starts, or at the end. The delays are the differences of the frame boundaries counted in
// whole hundredths from the first frame (rounded down), so the rounding of each frame is carried
// into the next and the delays add up to the clip's time: 30 frames of 1/30 s give
// 3, 3, 4, 3, 3, 4 ... and 100 in all.
class TFrameDelays {
public:
    // A frame whose length nothing tells shows for this long.
    static constexpr int kDefaultDelay = 10;
    static constexpr int kMaxDelay = 0xFFFF;
    // Viewers show a frame of a shorter delay for 10 hundredths: a frame that would get less
    // gives its time to a neighbour (the frame sink merges them).
    static constexpr int kMinDelay = 2;

    // Forgets every frame; the next one is the first, starting at time 0.
    void Reset();

    // A frame starts at `pts` ticks (kNoTime when unknown: then it follows the previous frame)
    // and lasts `duration` ticks (0 when unknown). Returns the delay of the frame before it,
    // or -1 for the first frame.
    int NextFrame(int64_t pts, int64_t duration, TTickLength tick);

    // The delay of the last frame: its own duration, else the interval before it, else the
    // stream's frame length (`frameLength` ticks, 0 when unknown), else kDefaultDelay.
    // -1 when there was no frame.
    int LastFrame(int64_t frameLength);

    // Every delay handed out so far, in hundredths.
    int64_t Total() const { return emitted_; }

    static constexpr int64_t kNoTime = INT64_MIN;

private:
    // `ticks` in whole hundredths of a second (rounded down).
    int64_t Hundredths(int64_t ticks) const;
    // The frame boundary `ticks` after the first frame, in hundredths of the document's time.
    int64_t Boundary(int64_t ticks) const;
    // The delay that brings the total up to `boundary` hundredths.
    int Emit(int64_t boundary);

    bool started_ = false;
    TTickLength tick_;
    int64_t origin_ = 0;        // pts of the first frame
    int64_t lastStart_ = 0;     // ticks after the origin
    int64_t lastDuration_ = 0;  // of the last frame, 0 when unknown
    int64_t lastInterval_ = 0;  // between the last two frames, 0 when none
    int64_t emitted_ = 0;       // hundredths handed out
};
