// The events the tasks raise through their routes. Hooks run on the worker that calls them;
// progress, preview bitmaps and the look at an input before its streams are probed run on the
// main thread while TriggerEventInMainThread is set, the worker waiting meanwhile. Every kind
// has its lock, held while its handler runs.
#include "engine/encoder/FFEncode.h"
#include "platform/MainThread.h"

namespace {

// Handlers of task events running on this thread (one may raise another's event: a hook's
// handler may run the main thread's queue).
thread_local int taskHandlers = 0;

// Counts a handler of a task's event for as long as it runs.
class THandlerScope {
public:
    THandlerScope() { ++taskHandlers; }
    ~THandlerScope() { --taskHandlers; }
    THandlerScope(const THandlerScope&) = delete;
    THandlerScope& operator=(const THandlerScope&) = delete;
};

}  // namespace

bool TCustomEncoder::InsideTaskHandler() { return taskHandlers > 0; }

void TCustomEncoder::CallSynchronised(const std::function<void()>& call) {
    // counted on the thread that runs the handler
    auto counted = [&call] {
        THandlerScope scope;
        call();
    };
    if (triggerEventInMainThread_ && !IsMainThread())
        Synchronize(counted);
    else
        counted();
}

void TCustomEncoder::DoBeforeFindStreamInfo(TCustomFFmpeg* task, AVFormatContext* context) {
    const auto handler = OnBeforeFindStreamInfo.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(beforeFindStreamInfoLock_);
    CallSynchronised([&] { (*handler)(task, context); });
}

void TCustomEncoder::DoPreviewBitmap(TCustomFFmpeg* task, TBitmap& bitmap, int frameNumber,
                                     int64_t pts) {
    const auto handler = OnPreviewBitmap.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(previewBitmapLock_);
    previewInfo_.TaskIndex = tasks_.IndexOf(task);
    previewInfo_.Bitmap = &bitmap;
    previewInfo_.FrameNumber = frameNumber;
    previewInfo_.PTS = pts;
    CallSynchronised([&] { (*handler)(this, previewInfo_); });
}

void TCustomEncoder::DoProgress(TCustomFFmpeg* task, const TTaskProgress& progress) {
    const auto handler = OnProgress.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(progressLock_);
    progressInfo_.TaskIndex = tasks_.IndexOf(task);
    progressInfo_.FileIndex = progress.FileIndex;
    progressInfo_.FrameNumber = progress.FrameNumber;
    progressInfo_.FPS = progress.FPS;
    progressInfo_.Quality = progress.Quality;
    progressInfo_.BitRate = progress.BitRate;
    progressInfo_.OutputSize = progress.OutputSize;
    progressInfo_.OutputTime = progress.OutputTime;
    progressInfo_.TotalDuration = progress.TotalDuration;
    CallSynchronised([&] { (*handler)(this, &progressInfo_); });
}

void TCustomEncoder::DoAudioHook(TCustomFFmpeg* task, int64_t pts, uint8_t* samples, int size,
                                 int sampleRate, int channels, AVSampleFormat sampleFormat) {
    const auto handler = OnAudioHook.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(audioHookLock_);
    THandlerScope scope;
    (*handler)(this, tasks_.IndexOf(task), pts, samples, size, sampleRate, channels, sampleFormat);
}

namespace {

// A video hook's record from the task's call, and what the handler decided back into it.
template <class Handler>
void CallVideoHook(TCustomEncoder* encoder, const Handler& handler, THookInfo& info, int taskIndex,
                   TVideoHookCall& call) {
    info.TaskIndex = taskIndex;
    info.Bitmap = call.Bitmap;
    info.FrameNumber = call.FrameNumber;
    info.PTS = call.PTS;
    info.Update = call.Update;
    info.StopHook = call.StopHook;
    {
        THandlerScope scope;
        handler(encoder, &info);
    }
    call.Update = info.Update;
    call.StopHook = info.StopHook;
}

template <class Handler>
void CallFrameHook(TCustomEncoder* encoder, const Handler& handler, TFrameHookInfo& info,
                   int taskIndex, const TFrameHookCall& call) {
    info.TaskIndex = taskIndex;
    info.FrameNumber = call.FrameNumber;
    info.Picture = call.Picture;
    info.PixFmt = call.PixFmt;
    info.Width = call.Width;
    info.Height = call.Height;
    info.PTS = call.PTS;
    THandlerScope scope;
    handler(encoder, &info);
}

}  // namespace

void TCustomEncoder::DoVideoInputHook(TCustomFFmpeg* task, TVideoHookCall& call) {
    const auto handler = OnVideoInputHook.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(videoHookLock_);
    CallVideoHook(this, *handler, hookInfo_, tasks_.IndexOf(task), call);
}

void TCustomEncoder::DoVideoOutputHook(TCustomFFmpeg* task, TVideoHookCall& call) {
    const auto handler = OnVideoOutputHook.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(videoHookLock_);
    CallVideoHook(this, *handler, hookInfo_, tasks_.IndexOf(task), call);
}

void TCustomEncoder::DoFrameInputHook(TCustomFFmpeg* task, TFrameHookCall& call) {
    const auto handler = OnFrameInputHook.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(frameHookLock_);
    CallFrameHook(this, *handler, frameHookInfo_, tasks_.IndexOf(task), call);
}

void TCustomEncoder::DoFrameOutputHook(TCustomFFmpeg* task, TFrameHookCall& call) {
    const auto handler = OnFrameOutputHook.Get();
    if (!handler) return;
    std::lock_guard<TCriticalSection> guard(frameHookLock_);
    CallFrameHook(this, *handler, frameHookInfo_, tasks_.IndexOf(task), call);
}
