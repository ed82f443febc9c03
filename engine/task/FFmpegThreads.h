#pragma once
// The threads of a conversion task: the worker that runs it (TConvertThread), the short-lived
// thread that finishes a task that never ran (TDoTerminateThread), and the gate a paused worker
// waits at.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/Thread.h"
#include "platform/ThreadPriority.h"

class TCustomFFmpeg;

// Where a paused worker waits. While the gate is closed a worker that reaches it waits until
// the gate opens again or a stop is requested; while it is open, passing costs one atomic read.
class TPauseGate {
public:
    void Close();
    void Open();
    bool Closed() const { return closed_; }
    // Returns once the gate is open or `stop` is set. Whoever sets `stop` opens the gate (or
    // calls Open) afterwards, so that a waiting worker looks again.
    void Pass(const std::atomic<bool>& stop) const;

private:
    mutable std::mutex lock_;
    mutable std::condition_variable opened_;
    std::atomic<bool> closed_{false};
};

// Waits until the event is signalled. On the main thread it runs the queued main-thread calls
// and the pending window messages every 20 ms meanwhile, so that a worker waiting for the main
// thread (a synchronised event, a log line) goes on and the wait cannot lock up.
void WaitForEventPumping(TEvent& event);

// The worker thread of a task. It is made suspended (not yet running) and frees itself once the
// task has ended; its first Resume starts it. Suspend closes the task's pause gate: the worker
// then stops at the conversion's next stop-request check until Resume opens it again.
class TConvertThread : public TThread {
public:
    // The name the worker runs under (the decoder's threads it makes start with it too).
    static constexpr char kThreadName[] = "conversion";

    TConvertThread(TCustomFFmpeg& task, TThreadPriority priority);

    void Suspend();
    void Resume();
    // True before the first Resume and while suspended.
    bool Suspended() const;

protected:
    // Runs the task; the task's RunningEvent is reset meanwhile.
    void Execute() override;

private:
    TCustomFFmpeg& task_;
    const TThreadPriority priority_;
};

// Finishes a task that never ran, so that its end is reported from a thread of its own; frees
// itself. The task's TerminatingEvent is reset until it is done. Call Start once made.
class TDoTerminateThread : public TThread {
public:
    static constexpr char kThreadName[] = "end-unstarted";

    explicit TDoTerminateThread(TCustomFFmpeg& task);

protected:
    void Execute() override;

private:
    TCustomFFmpeg& task_;
};
