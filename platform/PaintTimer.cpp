#include "platform/PaintTimer.h"

#include <algorithm>
#include <chrono>

#include "platform/MainThread.h"
#include "platform/Thread.h"

namespace {
// How often a pumping wait looks at the message queue.
constexpr int kPumpIntervalMs = 10;
}  // namespace

int64_t TPaintTimer::Milliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TPaintTimer::Wait(int milliseconds, TEvent& wake, bool pumpMessages) {
    if (!pumpMessages) {
        wake.WaitFor(milliseconds);
        return;
    }
    const int64_t end = Milliseconds() + milliseconds;
    for (;;) {
        CheckSynchronize();
        ProcessPendingMessages();
        int slice = kPumpIntervalMs;
        if (milliseconds >= 0) {
            const int64_t left = end - Milliseconds();
            if (left <= 0) return;
            slice = static_cast<int>(std::min<int64_t>(left, kPumpIntervalMs));
        }
        if (wake.WaitFor(slice) == TWaitResult::wrSignaled) return;
    }
}

TPaintTimer& DefaultPaintTimer() {
    static TPaintTimer timer;
    return timer;
}
