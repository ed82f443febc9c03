// The video path from a filtered picture to the muxer: the constant frame rate (a picture is
// dropped when the output is ahead of the input and repeated when it lags behind), forced key
// frames, the output hooks and previews, encoding and writing.
#include "engine/task/FFmpegVideoOutput.h"

#include <algorithm>
#include <cmath>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegMux.h"
#include "engine/task/FFmpegProgress.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/FFmpegVideoHooks.h"

namespace {

enum TVideoSync { vsPassthrough = 0, vsConstant = 1, vsVariable = 2 };

TVideoSync SyncMethodFor(const TCustomFFmpeg& task, const AVFormatContext* oc) {
    if (task.VideoSyncMethod >= 0) return static_cast<TVideoSync>(task.VideoSyncMethod);
    const int flags = oc->oformat->flags;
    if ((flags & AVFMT_VARIABLE_FPS) && (flags & AVFMT_NOTIMESTAMPS)) return vsPassthrough;
    if (flags & AVFMT_VARIABLE_FPS) return vsVariable;
    return vsConstant;
}

// How much of an output frame the input's frames last beyond their start (in encoder frames),
// once the input's timing is known. A graph that gives its frames a rate of its own (the fps
// filter) makes frames of that length.
double DurationCorrection(const TInputStream& ist, const TOutputStream& ost) {
    const AVCodecContext* enc = ost.EncoderContext;
    const AVRational graphRate = ost.OutputVideoFilter
                                     ? libav::av_buffersink_get_frame_rate(ost.OutputVideoFilter)
                                     : AVRational{0, 1};
    if (graphRate.num > 0 && graphRate.den > 0)
        return 1 / (av_q2d(graphRate) * av_q2d(enc->time_base));
    if (ist.St->start_time == AV_NOPTS_VALUE || ist.FirstDts == AV_NOPTS_VALUE) return 0;
    double duration = av_q2d(ist.St->time_base);
    const AVCodecContext* dec = ist.DecoderContext;
    if (dec && dec->framerate.num > 0 && dec->framerate.den > 0)
        duration =
            std::max(duration, 1 / (av_q2d(dec->framerate) * std::max(1, dec->ticks_per_frame)));
    const AVRational rate = ist.St->avg_frame_rate;
    if (rate.num > 0 && rate.den > 0) duration = std::max(duration, 1 / av_q2d(rate));
    return duration / av_q2d(enc->time_base);
}

// How many times the picture is written: 0 drops it, more than 1 repeats it.
int64_t FramesToWrite(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                      TInputStream& ist) {
    const AVCodecContext* enc = ost.EncoderContext;
    const TInputStream& sync = ost.SyncIstIndex >= 0 ? task.InputStreams[ost.SyncIstIndex] : ist;
    const int64_t startTime = task.OutputFiles[ost.FileIndex].StartTime;
    const double position =
        static_cast<double>(sync.Pts - startTime) / AV_TIME_BASE / av_q2d(enc->time_base);
    const TVideoSync method = SyncMethodFor(task, oc);
    if (method == vsPassthrough) {
        ost.SyncOpts = std::llround(position);
        return 1;
    }
    // Nothing comes before the first picture: a video that starts after the other streams does
    // not begin with copies of it.
    if (ost.FrameNumber == 0 && position - ost.SyncOpts >= 0.5) {
        ost.SyncOpts = std::llround(position);
        return 1;
    }
    const double drift = position - ost.SyncOpts + DurationCorrection(ist, ost);
    if (drift < -1.1) return 0;
    if (method == vsVariable) {
        if (drift <= -0.6) return 0;
        if (drift > 0.6) ost.SyncOpts = std::llround(position);
        return 1;
    }
    return drift > 1.1 ? std::llround(drift) : 1;
}

void CountDropsAndDups(TCustomFFmpeg& task, int64_t frames) {
    TTaskRunState& run = task.Run;
    if (frames == 0) {
        run.FramesDropped++;
        run.DupDropChanged = true;
        task.Log(llVerbose, "*** drop!");
    } else if (frames > 1) {
        run.FramesDup += static_cast<int>(frames - 1);
        run.DupDropChanged = true;
        task.Log(llVerbose, StrFormat("*** %d dup!", static_cast<int>(frames - 1)));
    }
}

// The frame's encoding properties: field order, quality, picture type and forced key frames.
void PrepareFrame(TOutputStream& ost, AVFrame* frame, double quality) {
    const AVCodecContext* enc = ost.EncoderContext;
    frame->pts = ost.SyncOpts;
    if ((enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) &&
        ost.TopFieldFirst != -1)
        frame->top_field_first = ost.TopFieldFirst;
    frame->quality = static_cast<int>(std::lrint(quality));
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (ost.ForcedKfIndex < static_cast<int>(ost.ForcedKfPts.size()) &&
        frame->pts >= ost.ForcedKfPts[ost.ForcedKfIndex]) {
        frame->pict_type = AV_PICTURE_TYPE_I;
        ost.ForcedKfIndex++;
    }
}

}  // namespace

int WriteVideoFrames(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                     TInputStream& ist, AVFrame* frame, double quality) {
    int64_t frames = FramesToWrite(task, oc, ost, ist);
    CountDropsAndDups(task, frames);
    frames = std::min(frames, ost.MaxFrames - ost.FrameNumber);
    AVCodecContext* enc = ost.EncoderContext;
    const bool hooks = HasOutputHooks(task);
    for (int64_t i = 0; i < frames && !task.StopRequested(); i++) {
        PrepareFrame(ost, frame, quality);
        AVFrame* encoded = frame;
        if (hooks) {
            const int64_t pts = libav::av_rescale_q(ost.SyncOpts, enc->time_base, AV_TIME_BASE_Q);
            encoded = RunOutputHooks(task, frame, pts, ost.FrameNumber + 1);
        }
        const int sent = libav::avcodec_send_frame(enc, encoded);
        if (sent < 0) return FailStepFatal(task, sent, "Video encoding failed");
        ost.SyncOpts++;
        ost.FrameNumber++;
        const int ret = ReceiveVideoPackets(task, oc, ost);
        if (ret < 0) return ret;
    }
    return 0;
}

int ReceiveVideoPackets(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost) {
    TTaskRunState& run = task.Run;
    if (!run.EncodedPacket) run.EncodedPacket = libav::av_packet_alloc();
    if (!run.EncodedPacket) return FailStepFatal(task, kErrorOutOfMemory, "Video encoding failed");
    AVPacket* packet = run.EncodedPacket;
    AVCodecContext* enc = ost.EncoderContext;
    const TOutputStream& base = EncodingStream(task, ost);
    while (true) {
        const int ret = libav::avcodec_receive_packet(enc, packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
        if (ret < 0) return FailStepFatal(task, ret, "Video encoding failed");
        TakeEncoderStats(ost, packet);
        if (packet->duration <= 0) packet->duration = 1;  // one frame of the encoder's rate
        libav::av_packet_rescale_ts(packet, enc->time_base, ost.St->time_base);
        if (task.JoinMode && packet->pts != AV_NOPTS_VALUE) {
            if (ost.LastPts != AV_NOPTS_VALUE && packet->pts <= ost.LastPts)
                packet->pts = ost.LastPts + 1;
            if (packet->dts != AV_NOPTS_VALUE && packet->dts > packet->pts)
                packet->dts = packet->pts;
            ost.LastPts = packet->pts;
        }
        const int size = packet->size;
        if (base.Logfile && enc->stats_out) std::fprintf(base.Logfile, "%s", enc->stats_out);
        const int written = WritePacket(task, oc, packet, ost);
        if (written < 0) return written;
        run.VideoSize += size;
        if (!task.VStatsFileName.empty()) WriteVideoStats(task, ost, size);
    }
}
