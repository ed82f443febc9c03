// A task's life as the encoder runs it: started once, in the calling thread or on its worker
// thread; run (the conversion, then the clean-up, then the report of its end); paused at the
// conversion's stop-request checks; stopped on request; finished without running when it is
// stopped before it started.
#include <exception>

#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegTask.h"

namespace {

// Runs one step of the end of a task. A failure is logged and kept as the task's failure (a
// later one replaces an earlier text); it never leaves the task, so its end is always reported.
template <class Step>
void Guarded(TCustomFFmpeg& task, Step&& step) {
    std::string failure;
    try {
        step();
        return;
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Unknown exception";
    }
    task.Log(llQuiet, failure);
    task.Failed = true;
    task.FailureText = failure;
}

}  // namespace

bool TCustomFFmpeg::StopRequested() const {
    PauseGate.Pass(StopRequest);
    return StopRequest;
}

TConvertThread* TCustomFFmpeg::Start(bool threaded, TThreadPriority priority) {
    if (Running || Terminated || finishing_) return nullptr;
    const char* missing = OutputFiles.empty()  ? "At least one output file must be specified"
                          : InputFiles.empty() ? "At least one input file must be specified"
                                               : nullptr;
    if (missing) {
        FreeFilesAndStreams();
        Log(llQuiet, missing);
        Failed = true;
        FailureText = missing;
        FinishTask();
        return nullptr;
    }
    Running = true;
    StopRequest = false;
    Completed = false;
    Terminated = false;
    if (!threaded) {
        RunTask();
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(workerLock_);
    // Reset here, not only by the worker: whoever waits for the task from now on waits for it.
    RunningEvent.ResetEvent();
    worker_ = new TConvertThread(*this, priority);
    return worker_;
}

void TCustomFFmpeg::RunTask() {
    Completed = false;
    Guarded(*this, [this] { Transcode(); });
    Guarded(*this, [this] { CloseOpenedEncoders(); });
    Guarded(*this, [this] { CloseOpenedDecoders(); });
    Guarded(*this, [this] {
        FreeFilesAndStreams();
        ResetOptions(Options, false, true);
    });
    Guarded(*this, [this] { FinishTask(); });
    // An empty message ends what the library log holds back (a count of repeated lines).
    if (libav::av_log) libav::av_log(nullptr, AV_LOG_QUIET, "%s", "");
}

void TCustomFFmpeg::FinishTask() {
    {
        std::lock_guard<std::mutex> guard(workerLock_);
        worker_ = nullptr;
    }
    // Terminated before Running is cleared: a task seen not running has either never run or
    // has ended.
    Terminated = true;
    Running = false;
    if (Routes.Terminate) Routes.Terminate(this);
}

void TCustomFFmpeg::RequestStop(bool wait) {
    StopRequest = true;
    {
        std::lock_guard<std::mutex> guard(workerLock_);
        if (!worker_) return;
        if (worker_->Suspended()) worker_->Resume();
    }
    if (wait) WaitForEventPumping(RunningEvent);
}

void TCustomFFmpeg::StopTask(bool wait) {
    if (Running) {
        RequestStop(wait);
        return;
    }
    if (Terminated) return;
    if (!finishing_.exchange(true)) {
        TerminatingEvent.ResetEvent();
        (new TDoTerminateThread(*this))->Start();
    }
    if (wait) WaitForEventPumping(TerminatingEvent);
}

bool TCustomFFmpeg::SuspendWorker() {
    std::lock_guard<std::mutex> guard(workerLock_);
    if (!worker_ || worker_->Suspended()) return false;
    worker_->Suspend();
    return true;
}

bool TCustomFFmpeg::ResumeWorker() {
    std::lock_guard<std::mutex> guard(workerLock_);
    if (!worker_ || !worker_->Suspended()) return false;
    worker_->Resume();
    return true;
}

void TCustomFFmpeg::WaitForWorkers() {
    if (Running) RequestStop(true);
    WaitForEventPumping(RunningEvent);
    WaitForEventPumping(TerminatingEvent);
}
