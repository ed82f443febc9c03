// The encoder component: construction, properties, the libraries, and the task list (adding
// tasks and their outputs, removing and clearing them).
#include "engine/encoder/FFEncode.h"

#include "engine/core/TextFormat.h"
#include "engine/loader/FFLoad.h"
#include "platform/Exception.h"

namespace {

constexpr int kMinProgressInterval = 100;

}  // namespace

TCustomEncoder::TCustomEncoder() : decoder_(std::make_unique<TFFDecoder>()) {}

TCustomEncoder::~TCustomEncoder() { Shutdown(); }

void TCustomEncoder::Shutdown() {
    OnAudioHook = nullptr;
    OnBeforeFindStreamInfo = nullptr;
    OnPreviewBitmap = nullptr;
    OnProgress = nullptr;
    OnTerminate = nullptr;
    OnVideoInputHook = nullptr;
    OnVideoOutputHook = nullptr;
    OnFrameInputHook = nullptr;
    OnFrameOutputHook = nullptr;
    // Stopped first, so that no task starts another while the list goes.
    Stop(true);
    tasks_.Clear();
    notices_.DropAndWait();
}

bool TCustomEncoder::LibrariesLoaded() const { return FFLoader().LibsLoaded(FullLibrarySet); }

bool TCustomEncoder::LoadLibraries(const std::string& folder) {
    TFFLoader& loader = FFLoader();
    loader.SetLibraryPath(folder);
    if (loader.LoadLibs(FullLibrarySet)) return true;
    lastErrorMessage_ = loader.LastErrorMessage();
    return false;
}

void TCustomEncoder::CheckNotWorking(const std::string& operation) const {
    if (working_) throw Exception(StrFormat("Cannot %s while working.", operation.c_str()));
}

void TCustomEncoder::SetPreview(bool on) {
    preview_ = on;
    tasks_.SetPreview(on);
}

void TCustomEncoder::SetPreviewBitmap(bool on) {
    previewBitmap_ = on;
    tasks_.SetPreviewBitmap(on);
}

void TCustomEncoder::SetProgressInterval(int milliseconds) {
    progressInterval_ = std::max(milliseconds, kMinProgressInterval);
}

int TCustomEncoder::AddTask(const std::string& fileName) { return AddTaskWith(fileName, nullptr); }

int TCustomEncoder::AddTask(const std::string& fileName, const TInputOptions& inputOptions) {
    return AddTaskWith(fileName, &inputOptions);
}

int TCustomEncoder::AddTaskWith(const std::string& fileName, const TInputOptions* inputOptions) {
    CheckNotWorking("AddTask");
    auto task = std::make_unique<TFFmpeg>(this);
    task->BeforeFindStreamInfo = [this](TCustomFFmpeg* sender, AVFormatContext* context) {
        DoBeforeFindStreamInfo(sender, context);
    };
    task->Routes.PreviewBitmap = [this](TCustomFFmpeg* sender, TBitmap& bitmap, int frameNumber,
                                        int64_t pts) {
        DoPreviewBitmap(sender, bitmap, frameNumber, pts);
    };
    task->SetFlags((preview_ ? kPreviewWindow : 0) | (previewBitmap_ ? kPreviewBitmap : 0));
    try {
        // without the libraries a task can neither parse nor open anything
        FFLoader().CheckLibsLoaded(FullLibrarySet);
        task->StrictOptions = strictOptions_;
        task->DecoderThreads = decoderThreads_;
        const int inputIndex = static_cast<int>(task->InputFiles.size());
        TInputOptions& stored = task->InputOptions(inputIndex);
        if (inputOptions) {
            stored = *inputOptions;
            if (stored.FileName.empty()) stored.FileName = fileName;
            task->ParseOptions(stored.Options);
            task->ParsePresets(stored.Presets);
        } else {
            ResetInputOptions(stored);
        }
        task->ReadTimeout = ReadTimeout();
        task->WriteTimeout = WriteTimeout();
        const int ret = task->OpenInputFile(nullptr, fileName);
        if (ret < 0) {
            lastErrorMessage_ = task->LastError;
            return ret;
        }
        task->Decoders(inputIndex).AttachFormatContext(task->InputFiles[inputIndex].Ctx);
        task->Routes.Progress = [this](TCustomFFmpeg* sender, const TTaskProgress& progress) {
            DoProgress(sender, progress);
        };
        task->Routes.Terminate = [this](TCustomFFmpeg* sender) { DoTerminate(sender); };
        return tasks_.Add(std::move(task));
    } catch (const Exception& error) {
        lastErrorMessage_ = error.what();
        return -1;
    }
}

int TCustomEncoder::SetOutput(int taskIndex, const std::string& fileName) {
    return SetOutputWith(taskIndex, fileName, nullptr);
}

int TCustomEncoder::SetOutput(int taskIndex, const std::string& fileName,
                              const TOutputOptions& outputOptions) {
    return SetOutputWith(taskIndex, fileName, &outputOptions);
}

int TCustomEncoder::SetOutputWith(int taskIndex, const std::string& fileName,
                                  const TOutputOptions* outputOptions) {
    CheckNotWorking("SetOutput");
    TFFmpeg& task = tasks_.Items(taskIndex);
    task.StrictOptions = strictOptions_;
    const int outputIndex = static_cast<int>(task.OutputFiles.size());
    try {
        TOutputOptions& stored = task.OutputOptions(outputIndex);
        bool join = false;
        if (outputOptions) {
            stored = *outputOptions;
            if (stored.FileName.empty()) stored.FileName = fileName;
            SetUpOutputRoutes(task, stored);
            task.ParseOptions(stored.Options);
            task.ParsePresets(stored.Presets);
            join = stored.Join;
        } else {
            ResetOutputOptions(stored);
        }
        task.ReadTimeout = ReadTimeout();
        task.WriteTimeout = WriteTimeout();
        int ret = task.OpenOutputFile(fileName, join);
        if (ret >= 0 && join) ret = task.PrepareJoin();
        if (ret < 0) {
            lastErrorMessage_ = task.LastError;
            ResetOutputOptions(task.OutputOptions(outputIndex));
        }
        return ret;
    } catch (const Exception& error) {
        lastErrorMessage_ = error.what();
        return -1;
    }
}

// The hooks an output asks for, routed into the encoder; they stay routed when opening the
// output fails later.
void TCustomEncoder::SetUpOutputRoutes(TFFmpeg& task, const TOutputOptions& options) {
    TTaskRoutes& routes = task.Routes;
    if (options.AudioHook)
        routes.AudioHook = [this](TCustomFFmpeg* sender, int64_t pts, uint8_t* samples, int size,
                                  int sampleRate, int channels, AVSampleFormat sampleFormat) {
            DoAudioHook(sender, pts, samples, size, sampleRate, channels, sampleFormat);
        };
    if (options.VideoInputHook)
        routes.VideoInputHook = [this](TCustomFFmpeg* sender, TVideoHookCall& call) {
            DoVideoInputHook(sender, call);
        };
    if (options.VideoOutputHook)
        routes.VideoOutputHook = [this](TCustomFFmpeg* sender, TVideoHookCall& call) {
            DoVideoOutputHook(sender, call);
        };
    task.SetVideoHookBitsPixel(options.VideoHookBitsPixel);
    if (options.FrameInputHook)
        routes.FrameInputHook = [this](TCustomFFmpeg* sender, TFrameHookCall& call) {
            DoFrameInputHook(sender, call);
        };
    if (options.FrameOutputHook)
        routes.FrameOutputHook = [this](TCustomFFmpeg* sender, TFrameHookCall& call) {
            DoFrameOutputHook(sender, call);
        };
}

void TCustomEncoder::RemoveTask(int taskIndex) {
    CheckNotWorking("RemoveTask");
    tasks_.Delete(taskIndex);
}

void TCustomEncoder::ClearTasks() {
    // Inside StartTask(0) the running task is on the caller's own stack: it cannot go, even
    // when its end report (handled right there) says every task has ended.
    const bool insideUnthreadedRun = unthreadedRunner_.load() != std::thread::id();
    if ((working_ && !allTerminated_) || insideUnthreadedRun)
        throw Exception("Cannot ClearTasks while working.");
    tasks_.Clear();
    lastErrorMessage_.clear();
    {
        std::lock_guard<TCriticalSection> guard(terminateLock_);
        finishedCount_ = 0;
        nextIndex_ = -1;
        remainingCount_ = 0;
    }
    allTerminated_ = false;
    threaded_ = false;
    working_ = false;
    paused_ = false;
}
