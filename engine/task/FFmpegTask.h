#pragma once
// A conversion task: its option context and option variables, the library option sets, the
// file and stream tables, the state of its work, and the operations that parse option strings,
// open files and convert. The work itself is done by the files of this folder, by step:
// options/ reads option strings, open/ opens inputs and outputs, and the conversion is split by
// pipeline step (FFmpegSetup*.cpp, FFmpegTranscode.cpp, FFmpegDecodePacket.cpp,
// FFmpegVideo*.cpp, FFmpegAudio*.cpp, FFmpegStreamCopy.cpp, FFmpegSubtitles.cpp,
// FFmpegMux.cpp, FFmpegProgress.cpp, FFmpegJoin.cpp); each keeps its helpers to itself and
// declares what other steps call in a private header of its own name.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/FFmpegException.h"
#include "engine/frames/FrameHook.h"
#include "engine/log/FFLog.h"
#include "engine/task/FFmpegFileTables.h"
#include "engine/task/FFmpegRoutes.h"
#include "engine/task/FFmpegRunState.h"
#include "engine/task/FFmpegThreads.h"
#include "engine/task/options/FFmpegOptionDef.h"
#include "engine/task/options/FFmpegOptionsContext.h"

struct SwsContext;
struct AVDictionary;
struct AVFormatContext;
struct TVideoHookStage;

class TCustomFFmpeg {
public:
    TCustomFFmpeg();
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    // --- option strings -------------------------------------------------------------------
    void ParseOptions(const std::string& options);
    void ParsePresets(const std::string& presets);
    int ParseOption(TOptionsContext& o, const std::string& name, const char* arg);
    const TOptionDef& FindOption(const std::string& name);
    int LocateOption(const std::vector<std::string>& tokens, const std::string& name);
    int SetGenericOption(const std::string& opt, const std::string& arg);
    void ResetOptions(TOptionsContext& o, bool keepRecordingTime, bool releaseOnly);
    const std::vector<TOptionDef>& OptionTable();

    // --- opening files --------------------------------------------------------------------
    int OpenInputFile(TOptionsContext* context, const std::string& fileName);
    int OpenOutputFile(const std::string& fileName, bool join);
    // Metadata of an output from an input by metadata specifiers ("g", "s:spec", "c:n", "p:n").
    bool CopyMetadata(const std::string& outspec, const std::string& inspec, TOptionsContext& o,
                      AVFormatContext* ic, AVFormatContext* oc);
    int CopyChapters(int inputIndex, int outputIndex, bool copyMetadata);
    bool ParseMetaSpecifier(const std::string& spec, char& type, int& index,
                            std::string& streamSpec);
    // Writes an input stream's extra data (an attachment) to a file.
    void DumpAttachment(int istIndex, const std::string& fileName);
    // Closes every file and frees every stream record of the task.
    void FreeFilesAndStreams();

    // --- converting -----------------------------------------------------------------------
    // The conversion of the opened inputs into the opened outputs: set-up, the transcoding
    // loop until the inputs end or a stop is requested, draining, trailers, the final report
    // and the clean-up. Its steps return their failures (FFmpegStepFailure.h); here a failure
    // becomes LastError and the FFmpegException raised with it (an output's event handler's own
    // error passes through as it is). The codecs it opened are then still on
    // Run.OpenedEncoders and Run.OpenedDecoders for CloseOpenedEncoders and CloseOpenedDecoders.
    void Transcode();
    // Join: after the output was opened with the join switch, one group of output streams per
    // further input. Returns 0, or -1 with LastError (the output is then closed again).
    int PrepareJoin();
    // Close each codec context still on the opened lists, and empty the lists.
    void CloseOpenedEncoders();
    void CloseOpenedDecoders();
    // The one check of the stop request in the loop and the frame repetition. A paused task
    // waits here until it is resumed or asked to stop.
    bool StopRequested() const;

    // Sets the preview flags (kPreviewWindow, kPreviewBitmap) under the process-wide preview
    // lock; clearing kPreviewWindow closes the preview window (at once when the task is not
    // converting, else at its next preview).
    void SetFlags(int flags);
    int Flags() const;

    // Stores the text as LastError, logs it at llFatal and raises FFmpegException with it: the
    // fatal errors of parsing options and opening files (the conversion's steps return theirs).
    [[noreturn]] void FatalError(const std::string& text);
    // The engine log, with this task as sender.
    void Log(TLogLevel level, const std::string& message);

    // --- the per-file option context and the last texts -----------------------------------
    TOptionsContext Options;
    std::string LastError;
    std::string LastParseError;  // kept per task: tasks may be parsed on different threads
    bool StrictOptions = true;

    // --- option variables (kept for the whole task) ---------------------------------------
    int BitsPerRawSample = 0;
    int VideoDiscard = 0;
    int SameQuant = 0;
    int DoDeinterlace = 0;
    int IntraDcPrecision = 8;
    int LoopInput = 0;
    int LoopOutput = -1;
    int QpHist = 0;
    int IntraOnly = 0;
    std::string VideoCodecName;
    std::string AudioCodecName;
    std::string SubtitleCodecName;
    int FileOverwrite = 0;
    int NoFileOverwrite = 0;
    int DoHexDump = 0;
    int DoPktDump = 0;
    int DoPsnr = 0;
    int DoPass = 0;
    std::string PassLogFilePrefix;
    int VideoSyncMethod = -1;
    int AudioSyncMethod = 0;
    float AudioDriftThreshold = 0.1f;
    int CopyTs = 0;
    int CopyTb = -1;
    int Shortest = 0;
    std::string VStatsFileName;
    int AudioVolume = 256;
    int ExitOnError = 0;
    int InputSync = 0;
    float DtsDeltaThreshold = 10.0f;
    int PrintStats = 1;

    // Bit depth of the hook and preview bitmaps (-VideoHookBitsPixel); given to both format
    // converters when a conversion starts.
    int VideoHookBitsPixel = 24;
    // Sets VideoHookBitsPixel and gives it to the converters at once, so that a depth they do
    // not have raises "Invalid BitsPixel %d" here rather than when the conversion starts.
    void SetVideoHookBitsPixel(int bitsPixel);
    // Set once a frame hook module was added with -vhook.
    bool UseFrameHook = false;
    // Frame hook modules added by -vhook, in order.
    TFrameHookList FrameHooks;

    // --- library option sets (emptied at every reset of the option context) --------------
    SwsContext* SwsOpts = nullptr;
    AVDictionary* FormatOpts = nullptr;
    AVDictionary* CodecOpts = nullptr;

    // --- file and stream tables -----------------------------------------------------------
    std::vector<TInputFile> InputFiles;
    std::vector<TInputStream> InputStreams;
    std::vector<TOutputFile> OutputFiles;
    std::vector<TOutputStream> OutputStreams;

    // --- the task's work -------------------------------------------------------------------
    // What the steps of the work keep while the task works.
    TTaskRunState Run;
    // Set when an output is opened to join the inputs one after another.
    bool JoinMode = false;
    // Set by the controlling thread to end the work: blocking library calls break off.
    std::atomic<bool> StopRequest{false};
    // Set when a conversion ran to its end without a stop request.
    std::atomic<bool> Completed{false};
    // What a completed conversion lost of its video to a damaged input (FFmpegLosses.h).
    TVideoLosses Losses;
    // How often the progress route is called, and how often previews are delivered
    // (microseconds).
    int64_t ProgressInterval = 500000;
    // Slice threads of the video filters; 0: one a core, as the filter library chooses.
    int FilterThreads = 0;
    // Threads of each video decoder unless its options name them; 0: the codec library's
    // choice (for most codecs, several frames at once on a thread each).
    int DecoderThreads = 0;
    int64_t PreviewInterval = 100000;
    // The routes out of the task (progress, preview bitmap, hooks, termination).
    TTaskRoutes Routes;
    // What the hooks and previews of the video path keep: the format converters, the frame
    // copies, the preview flags and window (FFmpegVideoHooks.h).
    std::unique_ptr<TVideoHookStage> VideoHooks;
    // Time-outs of blocking calls on the inputs and on the outputs (milliseconds; 0: none).
    int ReadTimeout = 30000;
    int WriteTimeout = 30000;

    // Called with the task and the input's format context right before its streams are probed.
    std::function<void(TCustomFFmpeg*, AVFormatContext*)> BeforeFindStreamInfo;

    // --- running as a task of the encoder (FFmpegTaskRun.cpp) -----------------------------
    // A task runs once. Start runs it in the calling thread (and returns null), or makes its
    // worker thread, not yet running, that frees itself when the task has ended (the caller
    // starts it with Resume). A task that is running or has ended is not started again; one
    // without an output or an input ends at once as failed.
    TConvertThread* Start(bool threaded, TThreadPriority priority);
    // The conversion, the release of what it made, then FinishTask. Nothing leaves it: a
    // failure sets Failed and FailureText.
    void RunTask();
    // Asks the conversion to stop (a paused worker goes on to see it); with `wait` until the
    // worker has ended.
    void RequestStop(bool wait);
    // A running task: RequestStop. One that never ran: finished on a TDoTerminateThread (once),
    // with `wait` until that is done. An ended one: nothing.
    void StopTask(bool wait);
    // Marks the task ended and calls the terminate route.
    void FinishTask();
    // Pauses a running worker that is not paused yet; resumes a paused (or not yet started)
    // one. Each returns whether it did. A task without a worker is not affected.
    bool SuspendWorker();
    bool ResumeWorker();
    // Stops a running task and waits until no thread works for the task any more.
    void WaitForWorkers();

    std::atomic<bool> Running{false};
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Failed{false};
    // Why the task failed, for the report of its end.
    std::string FailureText;
    // Reset while the worker runs the task, and while a task that never ran is being finished.
    TEvent RunningEvent{true, true};
    TEvent TerminatingEvent{true, true};
    // Where the worker waits while paused (StopRequested).
    TPauseGate PauseGate;

    // The libraries' interrupt callbacks for blocking input and output; opaque is the task.
    static int InputInterrupt(void* opaque);
    static int OutputInterrupt(void* opaque);
    AVIOInterruptCB InputInterruptCallback() { return {&TCustomFFmpeg::InputInterrupt, this}; }
    AVIOInterruptCB OutputInterruptCallback() { return {&TCustomFFmpeg::OutputInterrupt, this}; }

private:
    std::mutex workerLock_;               // guards worker_
    TConvertThread* worker_ = nullptr;    // until FinishTask
    std::atomic<bool> finishing_{false};  // a TDoTerminateThread was made
};
