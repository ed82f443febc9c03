#include "engine/task/FFmpegThreads.h"

#include "engine/task/FFmpegTask.h"
#include "platform/MainThread.h"

namespace {

constexpr int kWaitSliceMs = 20;

// Sets the event when it goes, also when the task raised.
class TSetOnExit {
public:
    explicit TSetOnExit(TEvent& event) : event_(event) {}
    ~TSetOnExit() { event_.SetEvent(); }
    TSetOnExit(const TSetOnExit&) = delete;
    TSetOnExit& operator=(const TSetOnExit&) = delete;

private:
    TEvent& event_;
};

}  // namespace

void TPauseGate::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
}

void TPauseGate::Open() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = false;
    opened_.notify_all();
}

void TPauseGate::Pass(const std::atomic<bool>& stop) const {
    if (!closed_) return;
    std::unique_lock<std::mutex> lock(lock_);
    opened_.wait(lock, [&] { return !closed_ || stop; });
}

void WaitForEventPumping(TEvent& event) {
    while (event.WaitFor(kWaitSliceMs) == TWaitResult::wrTimeout) {
        if (!IsMainThread()) continue;
        CheckSynchronize();
        ProcessPendingMessages();
    }
}

TConvertThread::TConvertThread(TCustomFFmpeg& task, TThreadPriority priority)
    : task_(task), priority_(priority) {
    SetFreeOnTerminate(true);
}

void TConvertThread::Suspend() { task_.PauseGate.Close(); }

void TConvertThread::Resume() {
    if (!Started())
        Start();
    else
        task_.PauseGate.Open();
}

bool TConvertThread::Suspended() const { return !Started() || task_.PauseGate.Closed(); }

void TConvertThread::Execute() {
    SetCurrentThreadName(kThreadName);
    const int nice = NiceValueOf(priority_);
    if (nice != 0) SetThreadNice(CurrentThreadId(), nice);
    task_.RunningEvent.ResetEvent();
    TSetOnExit running(task_.RunningEvent);
    task_.RunTask();
}

TDoTerminateThread::TDoTerminateThread(TCustomFFmpeg& task) : task_(task) {
    SetFreeOnTerminate(true);
}

void TDoTerminateThread::Execute() {
    SetCurrentThreadName(kThreadName);
    task_.TerminatingEvent.ResetEvent();
    TSetOnExit terminating(task_.TerminatingEvent);
    task_.FinishTask();
}
