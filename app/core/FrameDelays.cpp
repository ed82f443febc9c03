#include "app/core/FrameDelays.h"

#include <algorithm>

namespace {

int64_t Saturate(__int128 value) {
    return static_cast<int64_t>(std::clamp<__int128>(value, INT64_MIN + 1, INT64_MAX));
}

}  // namespace

void TFrameDelays::Reset() { *this = TFrameDelays(); }

int64_t TFrameDelays::Hundredths(int64_t ticks) const {
    const __int128 scaled = static_cast<__int128>(ticks) * 100 * tick_.Num;
    __int128 quotient = scaled / tick_.Den;
    if (scaled % tick_.Den != 0 && scaled < 0) --quotient;  // round toward minus infinity
    return Saturate(quotient);
}

int64_t TFrameDelays::Boundary(int64_t ticks) const {
    // Without a tick length the timestamps say nothing: every frame gets the default delay.
    if (!tick_.Valid()) return emitted_ + kDefaultDelay;
    return Hundredths(ticks);
}

int TFrameDelays::Emit(int64_t boundary) {
    const int64_t delay = std::clamp<int64_t>(boundary - emitted_, 0, kMaxDelay);
    emitted_ += delay;
    return static_cast<int>(delay);
}

int TFrameDelays::NextFrame(int64_t pts, int64_t duration, TTickLength tick) {
    duration = std::max<int64_t>(duration, 0);
    if (!started_) {
        started_ = true;
        tick_ = tick;
        origin_ = pts == kNoTime ? 0 : pts;
        lastStart_ = 0;
        lastDuration_ = duration;
        return -1;
    }
    int64_t start = 0;
    if (pts != kNoTime) {
        start = Saturate(static_cast<__int128>(pts) - origin_);
    } else {
        const int64_t length = lastDuration_ > 0 ? lastDuration_ : lastInterval_;
        start = Saturate(static_cast<__int128>(lastStart_) + length);
    }
    const int delay = Emit(Boundary(start));
    if (start > lastStart_) lastInterval_ = Saturate(static_cast<__int128>(start) - lastStart_);
    lastStart_ = start;
    lastDuration_ = duration;
    return delay;
}

int TFrameDelays::LastFrame(int64_t frameLength) {
    if (!started_) return -1;
    int64_t length = lastDuration_;
    if (length <= 0) length = lastInterval_;
    if (length <= 0) length = frameLength;
    if (!tick_.Valid()) return Emit(Boundary(lastStart_));
    if (length <= 0) return Emit(Hundredths(lastStart_) + kDefaultDelay);
    return Emit(Hundredths(Saturate(static_cast<__int128>(lastStart_) + length)));
}
