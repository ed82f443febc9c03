// The video path from a packet to the filter graphs: decoding (one packet may give several
// pictures, none, or pictures later), the picture's timestamps, the input hooks, and each
// picture handed by reference to the graph of every output stream that takes it; then what
// comes out of the graphs goes on to the frame rate conversion and the encoder.
#include "engine/task/FFmpegVideoDecode.h"

#include <algorithm>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegDecodePacket.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/FFmpegVideoHooks.h"
#include "engine/task/FFmpegVideoOutput.h"

namespace {

// Consecutive failures the end of a stream may report before its remaining pictures are
// given up.
constexpr int kMaxDrainErrors = 64;

int IndexOf(const TCustomFFmpeg& task, const TInputStream& ist) {
    return static_cast<int>(&ist - task.InputStreams.data());
}

AVFrame* FilteredFrameOf(TInputStream& ist) {
    if (!ist.FilteredFrame) ist.FilteredFrame = libav::av_frame_alloc();
    return ist.FilteredFrame;
}

// Takes every picture the graph of ost has ready and writes it. Returns 0 or a failure.
int PullFilteredFrames(TCustomFFmpeg& task, TInputStream& ist, TOutputStream& ost) {
    AVFrame* filtered = FilteredFrameOf(ist);
    if (!filtered) return FailStepFatal(task, kErrorOutOfMemory, "out-of-memory in DecodeVideo()");
    AVCodecContext* enc = ost.EncoderContext;
    const AVRational sinkTimeBase = libav::av_buffersink_get_time_base(ost.OutputVideoFilter);
    while (true) {
        const int ret = libav::av_buffersink_get_frame(ost.OutputVideoFilter, filtered);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
        if (ret < 0) {
            task.Log(llWarning,
                     "AV Filter told us it has a frame available but failed to output one");
            return 0;
        }
        if (filtered->pts != AV_NOPTS_VALUE)
            ist.Pts = libav::av_rescale_q(filtered->pts, sinkTimeBase, AV_TIME_BASE_Q);
        if (ost.FrameAspectRatio <= 0 && filtered->sample_aspect_ratio.num)
            enc->sample_aspect_ratio = filtered->sample_aspect_ratio;
        const double quality =
            task.SameQuant && ist.DecodedFrame ? ist.DecodedFrame->quality : enc->global_quality;
        const int written = WriteVideoFrames(task, MuxerOf(task, ost), ost, ist, filtered, quality);
        libav::av_frame_unref(filtered);
        if (written < 0) return written;
    }
}

// One decoded picture: its timestamps, the input hooks, the graphs. Returns 0 or a failure.
int ProcessPicture(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame) {
    int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration : CodecFrameDuration(ist);
    if ((frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags) ist.Damaged++;
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        ist.Pts = ist.NextPts = frame->best_effort_timestamp;
    ist.NextPts += duration;
    pre_process_video_frame(task, ist, frame);

    std::vector<int>& fed = task.Run.FedOutputs;
    fed.clear();
    const int index = IndexOf(task, ist);
    for (int i = 0; i < OutputStreamCount(task); i++) {
        TOutputStream& ost = task.OutputStreams[i];
        if (ost.SourceIndex != index || !ost.EncodingNeeded || !ost.Graph) continue;
        if (!InOutputWindow(task, ist, ost)) continue;
        if (!frame->sample_aspect_ratio.num)
            frame->sample_aspect_ratio = ist.St->sample_aspect_ratio;
        frame->pts = ist.Pts;
        // the graph takes its own reference to the picture's buffers: nothing is copied
        const int ret = libav::av_buffersrc_add_frame_flags(ost.InputVideoFilter, frame,
                                                            AV_BUFFERSRC_FLAG_KEEP_REF);
        if (ret < 0) return FailStepFatal(task, ret, "Failed to inject frame into filter network");
        fed.push_back(i);
    }
    PaceInput(task, ist);
    for (int i : fed) {
        const int ret = PullFilteredFrames(task, ist, task.OutputStreams[i]);
        if (ret < 0) return ret;
    }
    return 0;
}

// Receives every picture the decoder has ready. Returns 0 or a failure; the decoder's error
// goes to `decoderError`.
int ReceivePictures(TCustomFFmpeg& task, TInputStream& ist, bool draining, int& decoderError) {
    AVFrame* frame = ist.DecodedFrame;
    int pictures = 0, errors = 0;
    while (true) {
        const int received = libav::avcodec_receive_frame(ist.DecoderContext, frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return 0;
        if (received < 0) {
            if (!draining || ++errors > kMaxDrainErrors) {
                decoderError = received;
                return 0;
            }
            continue;
        }
        errors = 0;
        if (++pictures == 2 && !draining) WarnMultipleFrames(task, ist);
        const int ret = ProcessPicture(task, ist, frame);
        libav::av_frame_unref(frame);
        if (ret < 0) return ret;
    }
}

// Where the pictures fed to the graph of ost end: where the last picture ends, or the output's
// window does (microseconds, the graph's time base).
int64_t GraphEnd(const TCustomFFmpeg& task, const TInputStream& ist, const TOutputStream& ost) {
    const TOutputFile& of = task.OutputFiles[ost.FileIndex];
    if (of.RecordingTime == INT64_MAX || ist.NextPts == AV_NOPTS_VALUE) return ist.NextPts;
    return std::min(ist.NextPts, of.StartTime + of.RecordingTime);
}

// Sends the end to the filter graphs fed by ist and writes the frames they still hold. The end
// comes at the time the pictures end: a filter that makes frames at a rate of its own (fps)
// makes them up to there, so the last picture lasts as long as it does in the clip. Returns 0
// or a failure.
int DrainVideoGraphs(TCustomFFmpeg& task, TInputStream& ist) {
    const int index = IndexOf(task, ist);
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.SourceIndex != index || !ost.EncodingNeeded || !ost.Graph) continue;
        if (libav::av_buffersrc_close(ost.InputVideoFilter, GraphEnd(task, ist, ost), 0) < 0)
            continue;
        const int ret = PullFilteredFrames(task, ist, ost);
        if (ret < 0) return ret;
    }
    return 0;
}

}  // namespace

int DecodeVideo(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError) {
    if (!ist.DecodedFrame) ist.DecodedFrame = libav::av_frame_alloc();
    if (!ist.DecodedFrame) {
        decoderError = kErrorOutOfMemory;  // nothing can be decoded without it
        return 0;
    }
    const bool draining = packet == nullptr;
    int received = 0;
    int sent = SendPacketToDecoder(ist, packet);
    if (sent == AVERROR(EAGAIN)) {
        // pictures left from an earlier error must make room first
        const int ret = ReceivePictures(task, ist, draining, received);
        if (ret < 0) return ret;
        if (received < 0) {
            decoderError = received;
            return 0;
        }
        sent = SendPacketToDecoder(ist, packet);
    }
    int ret = ReceivePictures(task, ist, draining, received);
    if (ret < 0) return ret;
    if (draining) {
        ret = DrainVideoGraphs(task, ist);
        if (ret < 0) return ret;
    }
    decoderError = sent < 0 && sent != AVERROR_EOF ? sent : received;
    return 0;
}
