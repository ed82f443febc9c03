#include "engine/task/FFmpegTask.h"

#include "engine/decoder/Previewer.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swresample.h"
#include "engine/entrypoints/swscale.h"
#include "engine/task/FFmpegFrameBufferPool.h"
#include "engine/task/FFmpegTranscodeSteps.h"

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
    WaitForWorkers();
    FreeFilesAndStreams();
    ResetOptions(Options, false, true);
    Preview.Window.reset();
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

void FreeOutputs(TCustomFFmpeg& task) {
    for (TOutputStream& ost : task.OutputStreams) {
        // join copies use the encoder of their group-0 stream
        if (ost.JoinBase < 0)
            libav::avcodec_free_context(&ost.EncoderContext);
        else
            ost.EncoderContext = nullptr;
        for (AVBSFContext*& bsf : ost.BitstreamFilters) libav::av_bsf_free(&bsf);
        libav::av_dict_free(&ost.Opts);
        libav::av_dict_free(&ost.SavedOpts);
    }
    for (TOutputFile& of : task.OutputFiles) {
        if (!of.SharesMuxer) {
            if (of.Ctx && !(of.Ctx->oformat->flags & AVFMT_NOFILE)) libav::avio_closep(&of.Ctx->pb);
            libav::avformat_free_context(of.Ctx);
        }
        of.Ctx = nullptr;
        libav::av_dict_free(&of.Opts);
    }
    task.OutputStreams.clear();
    task.OutputFiles.clear();
}

void ReleaseStreamRunResources(TCustomFFmpeg& task) {
    if (!libav::av_frame_free) return;
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.Logfile) std::fclose(ost.Logfile);
        ost.Logfile = nullptr;
        if (ost.Fifo) libav::av_audio_fifo_free(ost.Fifo);
        ost.Fifo = nullptr;
        libav::av_frame_free(&ost.EncoderFrame);
        ost.EncoderFrameCapacity = 0;
        if (libav::swr_free) libav::swr_free(&ost.Resampler);
        if (libav::avfilter_graph_free) libav::avfilter_graph_free(&ost.Graph);
        ost.InputVideoFilter = ost.OutputVideoFilter = nullptr;
        for (AVPacket*& packet : ost.FilteredPackets) libav::av_packet_free(&packet);
        ost.FilteredPackets.clear();
        ost.ForcedKfPts.clear();
    }
    for (TInputStream& ist : task.InputStreams) {
        libav::av_frame_free(&ist.DecodedFrame);
        libav::av_frame_free(&ist.FilteredFrame);
    }
}
