#pragma once
// TIOWatchdog: times the blocking library calls on one input or output (opening, probing,
// reading, writing), so that the interrupt callback the libraries poll during such a call can
// end it once it has waited longer than its time-out, or at once when it was cancelled.
//
//     watchdog.Start();                  // right before the blocking call
//     ret = libav::av_read_frame(...);   // the callback asks watchdog.Check(timeoutMs)
//
// Every watchdog of the engine (the decoder's, the task's input and output) reads one clock:
// the steady clock in microseconds, which changes of the wall clock do not move.
#include <atomic>
#include <cstdint>

// What the interrupt callback makes of the call under way.
enum TIOVerdict { ioContinue, ioTimedOut, ioCancelled };

class TIOWatchdog {
public:
    // The watchdogs' clock in microseconds.
    static int64_t Now();

    // A blocking call starts now, or started at `time` (on Now()'s clock).
    void Start() { start_ = Now(); }
    void StartAt(int64_t time) { start_ = time; }
    // No call is under way: nothing times out.
    void Stop() { start_ = kIdle; }
    // The call under way (or the next one) ends at the next check.
    void Cancel() { start_ = kCancelled; }

    // ioContinue while no call is timed, when `timeoutMs` is 0 or less, or while the call has
    // not waited longer than `timeoutMs`; ioTimedOut after that; ioCancelled after Cancel().
    TIOVerdict Check(int timeoutMs) const;

private:
    static constexpr int64_t kIdle = INT64_MAX;
    static constexpr int64_t kCancelled = INT64_MIN;
    std::atomic<int64_t> start_{kIdle};
};
