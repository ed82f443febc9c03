#pragma once
// The clock and the waits of animation painters. Tests put in a timer of their own that keeps
// simulated time and records the waits.
#include <cstdint>

class TEvent;

class TPaintTimer {
public:
    virtual ~TPaintTimer() = default;

    // A monotonic clock in milliseconds.
    virtual int64_t Milliseconds();
    // Waits `milliseconds` (negative: without limit) or until `wake` is signalled. With
    // `pumpMessages` the calling thread processes its pending window messages and the calls
    // queued for the main thread while it waits.
    virtual void Wait(int milliseconds, TEvent& wake, bool pumpMessages);
};

// The timer painters use unless they are given another.
TPaintTimer& DefaultPaintTimer();
