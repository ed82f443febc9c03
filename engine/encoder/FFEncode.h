#pragma once
// The encoder component: the object an application places to run conversions.
//
// It keeps an ordered list of conversion tasks. The application adds a task with its input
// (AddTask) and gives it its outputs (SetOutput), then starts the tasks: StartTask(n) runs
// them n at a time, each on a worker thread of its own, StartTask(0) runs them one after
// another inside the call. Pause, Resume and Stop act on the running tasks. The end of every
// task, and then of all tasks (task index -1), arrives through OnTerminate; after that the
// application calls ClearTasks before adding or starting tasks again.
//
// Every operation is called from one controlling thread, normally the main thread. Progress,
// preview bitmaps and OnBeforeFindStreamInfo run on the main thread while
// TriggerEventInMainThread is set (the worker waits meanwhile); hooks run on the worker; each
// end is reported from a short-lived thread of its own (on the main thread when
// TriggerEventInMainThread is set), one at a time in the order the tasks ended.
//
//     TFFEncoder encoder;
//     encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) { ... };
//     int index = encoder.AddTask("clip.mp4");
//     if (index >= 0 && encoder.SetOutput(index, "out.avi") >= 0) encoder.StartTask(1);
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/FFBaseComponent.h"
#include "engine/decoder/FFDecode.h"
#include "engine/encoder/EncoderEvent.h"
#include "engine/encoder/EncoderRecords.h"
#include "engine/encoder/FFmpegList.h"
#include "engine/encoder/TerminateEventThread.h"
#include "platform/Thread.h"
#include "platform/ThreadPriority.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

struct AVFormatContext;

class TCustomEncoder : public TFFBaseComponent {
public:
    // The encoder's events. Sender is the encoder, except for OnBeforeFindStreamInfo, whose
    // sender is the task opening the input.
    using TAudioHookEvent = std::function<void(TCustomEncoder* Sender, int ATaskIndex, int64_t APTS,
                                               uint8_t* ASample, int ASize, int ASampleRate,
                                               int AChannels, AVSampleFormat ASampleFormat)>;
    using TBeforeFindStreamInfoEvent =
        std::function<void(TCustomFFmpeg* Sender, AVFormatContext* AFormatContext)>;
    using TPreviewBitmapEvent =
        std::function<void(TCustomEncoder* Sender, const TPreviewInfo& APreviewInfo)>;
    using TProgressEvent = std::function<void(TCustomEncoder* Sender, PProgressInfo AProgressInfo)>;
    using TTerminateEvent =
        std::function<void(TCustomEncoder* Sender, const TTerminateInfo& ATerminateInfo)>;
    using TVideoHookEvent = std::function<void(TCustomEncoder* Sender, PHookInfo AHookInfo)>;
    using TFrameHookEvent = std::function<void(TCustomEncoder* Sender, PFrameHookInfo AHookInfo)>;

    TCustomEncoder();
    // Shutdown.
    ~TCustomEncoder() override;

    // The libraries of the engine: loaded? / load them from `folder`. On failure
    // LastErrorMessage holds the loader's text.
    bool LibrariesLoaded() const;
    bool LoadLibraries(const std::string& folder);

    // A new task reading `fileName`, opened at once. Returns the task's index, or a negative
    // error with LastErrorMessage set (no task is added then).
    int AddTask(const std::string& fileName);
    int AddTask(const std::string& fileName, const TInputOptions& inputOptions);
    // An output of the task at `taskIndex`, opened at once. Returns 0 or more, or a negative
    // error with LastErrorMessage set.
    int SetOutput(int taskIndex, const std::string& fileName);
    int SetOutput(int taskIndex, const std::string& fileName, const TOutputOptions& outputOptions);
    void RemoveTask(int taskIndex);
    // Frees every task and leaves the working state; refused while tasks still run.
    void ClearTasks();
    // Starts the tasks: `count` (at least one) at a time on worker threads, or with 0 all of
    // them one after another in the calling thread before it returns. An empty list reports the
    // end of all tasks at once.
    void StartTask(int count);
    // No further task starts; the running ones stop and those that never ran end at once. With
    // `waitForStop` it returns once they have ended (running queued main-thread calls meanwhile),
    // except when called from a handler of a task's progress, preview or hook event, which the
    // task is waiting for: then it returns at once and the tasks end after the handler.
    void Stop(bool waitForStop);
    void Pause();
    void Resume();

    TFFDecoder& Decoder() { return *decoder_; }
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }
    bool Working() const { return working_; }
    bool Paused() const { return paused_; }
    // The option strictness new tasks get (default true).
    bool StrictOptions() const { return strictOptions_; }
    void SetStrictOptions(bool strict) { strictOptions_ = strict; }
    // The tasks, for reading.
    const TFFmpegList& Tasks() const { return tasks_; }

protected:
    // --- the published properties and events (TFFEncoder makes them public) ----------------
    // Preview window (bit 0 of every task's preview flags) and preview bitmaps (bit 1).
    bool Preview() const { return preview_; }
    void SetPreview(bool on);
    bool PreviewBitmap() const { return previewBitmap_; }
    void SetPreviewBitmap(bool on);
    // Milliseconds between progress reports; 100 or more (smaller values are stored as 100).
    // A task takes it when it starts.
    int ProgressInterval() const { return progressInterval_; }
    void SetProgressInterval(int milliseconds);
    TThreadPriority ThreadPriority() const { return threadPriority_; }
    void SetThreadPriority(TThreadPriority priority) { threadPriority_ = priority; }
    // Threads for the slices of a task's video filters (the scaler); 0 lets the filter library
    // take one a core. A task takes it when it starts.
    int FilterThreads() const { return filterThreads_; }
    void SetFilterThreads(int threads) { filterThreads_ = threads < 0 ? 0 : threads; }
    // Threads of a task's video decoders, unless its input options name them; 0 lets the
    // codec library choose. A task takes it when it is added.
    int DecoderThreads() const { return decoderThreads_; }
    void SetDecoderThreads(int threads) { decoderThreads_ = threads < 0 ? 0 : threads; }
    bool TriggerEventInMainThread() const { return triggerEventInMainThread_; }
    void SetTriggerEventInMainThread(bool on) { triggerEventInMainThread_ = on; }

    TEventSlot<TAudioHookEvent> OnAudioHook;
    TEventSlot<TBeforeFindStreamInfoEvent> OnBeforeFindStreamInfo;
    TEventSlot<TPreviewBitmapEvent> OnPreviewBitmap;
    TEventSlot<TProgressEvent> OnProgress;
    TEventSlot<TTerminateEvent> OnTerminate;
    TEventSlot<TVideoHookEvent> OnVideoInputHook;
    TEventSlot<TVideoHookEvent> OnVideoOutputHook;
    TEventSlot<TFrameHookEvent> OnFrameInputHook;
    TEventSlot<TFrameHookEvent> OnFrameOutputHook;

    // --- calls from the tasks (through their routes) -----------------------------------------
    // Worker-thread events: on the calling thread, under the kind's lock.
    virtual void DoVideoInputHook(TCustomFFmpeg* task, TVideoHookCall& call);
    virtual void DoVideoOutputHook(TCustomFFmpeg* task, TVideoHookCall& call);
    virtual void DoFrameInputHook(TCustomFFmpeg* task, TFrameHookCall& call);
    virtual void DoFrameOutputHook(TCustomFFmpeg* task, TFrameHookCall& call);
    // Synchronised events: on the main thread while TriggerEventInMainThread is set.
    virtual void DoPreviewBitmap(TCustomFFmpeg* task, TBitmap& bitmap, int frameNumber,
                                 int64_t pts);
    virtual void DoProgress(TCustomFFmpeg* task, const TTaskProgress& progress);
    // The end of a task (null: of all tasks), on the thread that ended it. Reports it, and
    // starts the next task or reports the end of all.
    virtual void DoTerminate(TCustomFFmpeg* task);
    void DoAudioHook(TCustomFFmpeg* task, int64_t pts, uint8_t* samples, int size, int sampleRate,
                     int channels, AVSampleFormat sampleFormat);
    void DoBeforeFindStreamInfo(TCustomFFmpeg* task, AVFormatContext* context);

    // Clears the events, stops the tasks and waits for them, frees them, and waits for the end
    // reports still on their way (dropping them). The destructor does it; a derived class does
    // it first in its own destructor, so that no task calls into a half-destroyed encoder.
    void Shutdown();
    // Raises "Cannot %s while working." with the operation's name while Working.
    void CheckNotWorking(const std::string& operation) const;
    // Starts the task at the next index, if any is left to start.
    void StartNextTask();

private:
    int AddTaskWith(const std::string& fileName, const TInputOptions* inputOptions);
    int SetOutputWith(int taskIndex, const std::string& fileName,
                      const TOutputOptions* outputOptions);
    void SetUpOutputRoutes(TFFmpeg& task, const TOutputOptions& options);
    // An end report the thread of an unthreaded run hands to the handler itself, once the
    // terminate lock is released and every report made before it has been delivered.
    struct TDirectReport {
        TTerminateInfo Info;
        uint64_t Ticket = 0;
    };
    void ReportNothingToRun();
    void ReportAllTerminated(const std::shared_ptr<const TTerminateEvent>& handler,
                             std::vector<TDirectReport>& direct);
    void DeliverDirectly(const TTerminateEvent& handler, const std::vector<TDirectReport>& direct);
    // Whether an end report goes straight to the handler: only inside an unthreaded run, on
    // the thread running it.
    bool ReportsDirectly() const;
    void Report(const std::shared_ptr<const TTerminateEvent>& handler, const TTerminateInfo& info,
                std::vector<TDirectReport>& direct);
    // Runs `call` on the main thread and waits, or here (TriggerEventInMainThread).
    void CallSynchronised(const std::function<void()>& call);
    // Whether the calling thread runs a handler of an event a task raised: the task waits for
    // the handler (and other tasks for the lock of its kind), so Stop cannot wait for them there.
    static bool InsideTaskHandler();

    // One lock per event kind: a handler of one kind never runs twice at once.
    TCriticalSection audioHookLock_;
    TCriticalSection previewBitmapLock_;
    TCriticalSection progressLock_;
    TCriticalSection terminateLock_;  // also guards the counts below and the start of tasks
    TCriticalSection videoHookLock_;
    TCriticalSection frameHookLock_;
    TCriticalSection beforeFindStreamInfoLock_;

    std::unique_ptr<TFFDecoder> decoder_;
    TFFmpegList tasks_;
    int finishedCount_ = 0;
    int nextIndex_ = -1;
    int remainingCount_ = 0;
    std::atomic<bool> allTerminated_{false};
    std::atomic<bool> threaded_{false};
    std::atomic<bool> working_{false};
    std::atomic<bool> paused_{false};
    // The thread inside StartTask(0), while it runs the tasks.
    std::atomic<std::thread::id> unthreadedRunner_{};
    bool strictOptions_ = true;
    std::string lastErrorMessage_;

    // The records handed to the events, one of each kind, reused under the kind's lock.
    TProgressInfo progressInfo_;
    TTerminateInfo terminateInfo_;
    TPreviewInfo previewInfo_;
    THookInfo hookInfo_;
    TFrameHookInfo frameHookInfo_;
    // The end reports on their way, delivered in order.
    TTerminateNotices notices_;

    std::atomic<bool> preview_{false};
    std::atomic<bool> previewBitmap_{false};
    std::atomic<int> progressInterval_{500};
    std::atomic<TThreadPriority> threadPriority_{tpNormal};
    std::atomic<int> filterThreads_{0};
    std::atomic<int> decoderThreads_{0};
    std::atomic<bool> triggerEventInMainThread_{true};
};

// The encoder with its properties and events public.
class TFFEncoder : public TCustomEncoder {
public:
    TFFEncoder() = default;
    ~TFFEncoder() override { Shutdown(); }

    using TCustomEncoder::DecoderThreads;
    using TCustomEncoder::FilterThreads;
    using TCustomEncoder::Preview;
    using TCustomEncoder::PreviewBitmap;
    using TCustomEncoder::ProgressInterval;
    using TCustomEncoder::SetDecoderThreads;
    using TCustomEncoder::SetFilterThreads;
    using TCustomEncoder::SetPreview;
    using TCustomEncoder::SetPreviewBitmap;
    using TCustomEncoder::SetProgressInterval;
    using TCustomEncoder::SetThreadPriority;
    using TCustomEncoder::SetTriggerEventInMainThread;
    using TCustomEncoder::ThreadPriority;
    using TCustomEncoder::TriggerEventInMainThread;

    using TCustomEncoder::OnAudioHook;
    using TCustomEncoder::OnBeforeFindStreamInfo;
    using TCustomEncoder::OnFrameInputHook;
    using TCustomEncoder::OnFrameOutputHook;
    using TCustomEncoder::OnPreviewBitmap;
    using TCustomEncoder::OnProgress;
    using TCustomEncoder::OnTerminate;
    using TCustomEncoder::OnVideoInputHook;
    using TCustomEncoder::OnVideoOutputHook;
};
