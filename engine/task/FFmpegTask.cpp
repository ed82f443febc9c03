// The task's life as an object: its option context and library option sets, the engine log
// with the task as sender, the fatal errors of option parsing and opening, and freeing its files
// and streams.
#include "engine/task/FFmpegTask.h"

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
#include "engine/task/FFmpegFrameBufferPool.h"
#include "engine/task/FFmpegStreamRelease.h"
#include "engine/task/FFmpegVideoHooks.h"

namespace {

void CreateLibraryOptionSets(TCustomFFmpeg& task) {
    // A scaler context serves only as the holder of the scaler options.
    task.SwsOpts = libav::sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                         SWS_BICUBIC, nullptr, nullptr, nullptr);
    task.FormatOpts = nullptr;
    task.CodecOpts = nullptr;
}

void ReleaseLibraryOptionSets(TCustomFFmpeg& task) {
    if (task.SwsOpts) libav::sws_freeContext(task.SwsOpts);
    task.SwsOpts = nullptr;
    libav::av_dict_free(&task.FormatOpts);
    libav::av_dict_free(&task.CodecOpts);
}

}  // namespace

TCustomFFmpeg::TCustomFFmpeg() : VideoHooks(std::make_unique<TVideoHookStage>()) {
    ResetOptions(Options, false, false);
}

TCustomFFmpeg::~TCustomFFmpeg() {
    WaitForWorkers();
    FreeFilesAndStreams();
    ResetOptions(Options, false, true);
    VideoHooks.reset();  // the preview window closes
}

void TCustomFFmpeg::FatalError(const std::string& text) {
    LastError = text;
    Log(llFatal, text);
    throw FFmpegException(text);
}

void TCustomFFmpeg::Log(TLogLevel level, const std::string& message) {
    FFLogger().Log(this, level, message);
}

void TCustomFFmpeg::ResetOptions(TOptionsContext& o, bool keepRecordingTime, bool releaseOnly) {
    const int64_t recordingTime = o.RecordingTime;
    o = TOptionsContext{};
    o.RecordingTime = keepRecordingTime ? recordingTime : kNoTimeLimit;
    // The library option sets exist only once the libraries are bound.
    if (!libav::av_dict_free) return;
    ReleaseLibraryOptionSets(*this);
    if (!releaseOnly) CreateLibraryOptionSets(*this);
}

void TCustomFFmpeg::FreeFilesAndStreams() {
    if (!libav::av_dict_free) return;
    CloseOpenedEncoders();
    CloseOpenedDecoders();
    ReleaseStreamRunResources(*this);
    FreeOutputs(*this);
    for (TInputStream& ist : InputStreams) {
        libav::avcodec_free_context(&ist.DecoderContext);
        libav::av_dict_free(&ist.DecoderOpts);
        ist.FrameBufferPool.reset();  // after its decoder: it goes with the last frame
    }
    for (TInputFile& f : InputFiles) libav::avformat_close_input(&f.Ctx);
    InputStreams.clear();
    InputFiles.clear();
    JoinMode = false;
    Run.StreamsPerInput = 0;
}
