// Releasing the stream records of a task: what the conversion made per stream, and the output
// files with their stream records.
#include "engine/task/FFmpegStreamRelease.h"

#include <cstdio>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swresample.h"
#include "engine/task/FFmpegTask.h"

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
