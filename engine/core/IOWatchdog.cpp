#include "engine/core/IOWatchdog.h"

#include <chrono>

int64_t TIOWatchdog::Now() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

TIOVerdict TIOWatchdog::Check(int timeoutMs) const {
    const int64_t start = start_;
    if (start == kIdle || timeoutMs <= 0) return ioContinue;
    if (start == kCancelled) return ioCancelled;
    return Now() - start > static_cast<int64_t>(timeoutMs) * 1000 ? ioTimedOut : ioContinue;
}
