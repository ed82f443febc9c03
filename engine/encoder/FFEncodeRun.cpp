// Running the task list: starting tasks (on worker threads or in the calling thread), pausing,
// resuming and stopping them, and the end of each task: its report, then the next task's start
// or the report of the end of all.
#include <algorithm>

#include "engine/encoder/FFEncode.h"

namespace {

// Marks the calling thread as the one inside StartTask(0) while it lives.
class TUnthreadedRun {
public:
    explicit TUnthreadedRun(std::atomic<std::thread::id>& runner) : runner_(runner) {
        runner_ = std::this_thread::get_id();
    }
    ~TUnthreadedRun() { runner_ = std::thread::id(); }
    TUnthreadedRun(const TUnthreadedRun&) = delete;
    TUnthreadedRun& operator=(const TUnthreadedRun&) = delete;

private:
    std::atomic<std::thread::id>& runner_;
};

}  // namespace

void TCustomEncoder::StartTask(int count) {
    CheckNotWorking("StartTask");
    {
        std::lock_guard<TCriticalSection> guard(terminateLock_);
        finishedCount_ = 0;
        nextIndex_ = 0;
        remainingCount_ = tasks_.Count();
        allTerminated_ = false;
        threaded_ = count > 0;
        working_ = true;
        paused_ = false;
    }
    if (threaded_) {
        if (tasks_.Count() == 0) {
            ReportNothingToRun();
            return;
        }
        // held while starting, so a task that ends meanwhile starts the next one only after
        // these have started
        std::lock_guard<TCriticalSection> guard(terminateLock_);
        for (int started = 0; remainingCount_ > 0 && started < std::max(count, 1); started++)
            StartNextTask();
        return;
    }
    TUnthreadedRun run(unthreadedRunner_);
    if (tasks_.Count() == 0) ReportNothingToRun();
    while (true) {
        {
            std::lock_guard<TCriticalSection> guard(terminateLock_);
            if (remainingCount_ <= 0) break;
        }
        StartNextTask();
    }
}

// The end of all tasks at once, so that the application leaves its running state.
void TCustomEncoder::ReportNothingToRun() { DoTerminate(nullptr); }

void TCustomEncoder::StartNextTask() {
    TFFmpeg* task;
    {
        std::lock_guard<TCriticalSection> guard(terminateLock_);
        if (remainingCount_ <= 0) return;
        remainingCount_--;
        // taken before the start: a task that fails to start starts the next one from inside
        task = &tasks_.Items(nextIndex_++);
        task->ProgressInterval = static_cast<int64_t>(progressInterval_) * 1000;
        task->FilterThreads = filterThreads_;
        if (threaded_) {
            if (TConvertThread* worker = task->Start(true, threadPriority_)) {
                // a task starting while the others are paused starts paused
                if (paused_) worker->Suspend();
                worker->Resume();
            }
            return;
        }
    }
    // unthreaded: the whole conversion, in this thread and outside the lock
    task->Start(false, threadPriority_);
}

void TCustomEncoder::Stop(bool waitForStop) {
    // waiting there would wait for the handler itself
    if (InsideTaskHandler()) waitForStop = false;
    {
        std::lock_guard<TCriticalSection> guard(terminateLock_);
        remainingCount_ = 0;
    }
    if (working_) tasks_.StopAll(waitForStop);
}

void TCustomEncoder::Pause() {
    std::lock_guard<TCriticalSection> guard(terminateLock_);
    if (!working_ || paused_) return;
    tasks_.SuspendAll();
    paused_ = true;
}

void TCustomEncoder::Resume() {
    std::lock_guard<TCriticalSection> guard(terminateLock_);
    if (!working_ || !paused_) return;
    tasks_.ResumeAll();
    paused_ = false;
}

void TCustomEncoder::DoTerminate(TCustomFFmpeg* task) {
    const std::shared_ptr<const TTerminateEvent> handler = OnTerminate.Get();
    // reports to hand straight to the handler, once the lock is released (a handler may stop
    // the tasks that are left, and their ends need the lock)
    std::vector<TDirectReport> direct;
    {
        std::lock_guard<TCriticalSection> guard(terminateLock_);
        if (!task) {
            ReportAllTerminated(handler, direct);
        } else {
            if (handler) {
                terminateInfo_.TaskIndex = tasks_.IndexOf(task);
                terminateInfo_.Completed = task->Completed;
                terminateInfo_.Failed = task->Failed;
                terminateInfo_.ErrorMessage = task->FailureText;
                terminateInfo_.Losses = task->Losses;
                Report(handler, terminateInfo_, direct);
            }
            finishedCount_++;
            if (remainingCount_ < 1) {
                if (finishedCount_ >= tasks_.Count()) ReportAllTerminated(handler, direct);
            } else if (threaded_) {
                StartNextTask();
            }
        }
    }
    if (!direct.empty()) DeliverDirectly(*handler, direct);
}

// Reports of tasks stopped before they ran come from other threads and may still be on their
// way: each direct report waits for its turn, so the end of all tasks stays the last.
void TCustomEncoder::DeliverDirectly(const TTerminateEvent& handler,
                                     const std::vector<TDirectReport>& direct) {
    // The reports of one end are consecutive in the order. When a handler raises, its turn and
    // those of the reports after it pass on undelivered, so later reports do not wait for ever.
    struct TPassOn {
        TTerminateNotices& Notices;
        const std::vector<TDirectReport>& Direct;
        size_t Next = 0;
        ~TPassOn() {
            for (; Next < Direct.size(); Next++) Notices.Delivered(Direct[Next].Ticket);
        }
    } pass{notices_, direct};
    for (; pass.Next < direct.size(); pass.Next++) {
        notices_.WaitTurnPumping(direct[pass.Next].Ticket);
        handler(this, direct[pass.Next].Info);
        notices_.Delivered(direct[pass.Next].Ticket);
    }
}

void TCustomEncoder::ReportAllTerminated(const std::shared_ptr<const TTerminateEvent>& handler,
                                         std::vector<TDirectReport>& direct) {
    allTerminated_ = true;
    if (!handler) return;
    Report(handler, TTerminateInfo{-1, true, false, "", {}}, direct);
}

bool TCustomEncoder::ReportsDirectly() const {
    return !threaded_ && working_ && unthreadedRunner_.load() == std::this_thread::get_id();
}

void TCustomEncoder::Report(const std::shared_ptr<const TTerminateEvent>& handler,
                            const TTerminateInfo& info, std::vector<TDirectReport>& direct) {
    if (ReportsDirectly())
        direct.push_back({info, notices_.Enqueue()});
    else
        TTerminateEventThread::Deliver(this, handler, info, triggerEventInMainThread_, notices_);
}
