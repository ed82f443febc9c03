#pragma once
// TBackgroundRun: one piece of work at a time on a thread of its own, its result handed to the
// GUI thread by a queued call, where the run was made. The GUI thread never waits for the
// work, except when it cancels it: a cancelled run's thread is joined, and its result is never
// delivered. Starting a new run cancels the one under way; so does the run object's end, and
// a result still on its way then goes with it.
//
// The work gets a flag that is set when it is cancelled and should look at it often (at every
// frame): Cancel waits for it to notice. RequestCancel only sets the flag and drops the result,
// so that the thread can wind down while the GUI thread goes on; the next Start or Cancel joins
// it.
#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

template <class Result>
class TBackgroundRun {
public:
    using TWork = std::function<Result(const std::atomic<bool>& cancelled)>;
    using TDone = std::function<void(const Result& result)>;

    TBackgroundRun() : receiver_(std::make_unique<QObject>()) {}
    ~TBackgroundRun() { Cancel(); }
    TBackgroundRun(const TBackgroundRun&) = delete;
    TBackgroundRun& operator=(const TBackgroundRun&) = delete;

    // Cancels the run under way and starts `work`; `done` gets its result on the GUI thread
    // unless the run is cancelled first.
    void Start(TWork work, TDone done) {
        Cancel();
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        cancelled_ = cancelled;
        const uint64_t run = ++runs_;
        running_ = true;
        thread_ =
            std::thread([this, run, cancelled, work = std::move(work), done = std::move(done)] {
                Result result = work(*cancelled);
                QMetaObject::invokeMethod(
                    receiver_.get(),
                    [this, run, done, result = std::move(result)] { Deliver(run, done, result); },
                    Qt::QueuedConnection);
            });
    }
    // The run under way stops as soon as it notices; its result is dropped.
    void RequestCancel() {
        if (cancelled_) *cancelled_ = true;
        running_ = false;
    }
    // ... and its thread is joined.
    void Cancel() {
        RequestCancel();
        if (thread_.joinable()) thread_.join();
    }
    // A run is under way and its result not yet delivered.
    bool Running() const { return running_; }

private:
    // On the GUI thread: only the newest run's result, while it is wanted.
    void Deliver(uint64_t run, const TDone& done, const Result& result) {
        if (run != runs_ || !running_) return;
        running_ = false;
        done(result);
    }

    // Lives on the GUI thread; results queued for it go when it goes.
    std::unique_ptr<QObject> receiver_;
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    // GUI thread only: the runs started, and whether the newest one is wanted.
    uint64_t runs_ = 0;
    bool running_ = false;
};
