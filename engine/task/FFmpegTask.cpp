#include "engine/task/FFmpegTask.h"

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"

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

TCustomFFmpeg::TCustomFFmpeg() { ResetOptions(Options, false, false); }

TCustomFFmpeg::~TCustomFFmpeg() {
    FreeFilesAndStreams();
    ResetOptions(Options, false, true);
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
    for (TOutputStream& ost : OutputStreams) {
        libav::avcodec_free_context(&ost.EncoderContext);
        for (AVBSFContext*& bsf : ost.BitstreamFilters) libav::av_bsf_free(&bsf);
        libav::av_dict_free(&ost.Opts);
        libav::av_dict_free(&ost.SavedOpts);
    }
    for (TOutputFile& of : OutputFiles) {
        if (of.Ctx && !(of.Ctx->oformat->flags & AVFMT_NOFILE)) libav::avio_closep(&of.Ctx->pb);
        libav::avformat_free_context(of.Ctx);
        libav::av_dict_free(&of.Opts);
    }
    for (TInputStream& ist : InputStreams) {
        libav::avcodec_free_context(&ist.DecoderContext);
        libav::av_dict_free(&ist.DecoderOpts);
    }
    for (TInputFile& f : InputFiles) libav::avformat_close_input(&f.Ctx);
    OutputStreams.clear();
    OutputFiles.clear();
    InputStreams.clear();
    InputFiles.clear();
}
