// Writing packets to the muxers (through each stream's bitstream filters) and draining the
// encoders at the end.
#include "engine/task/FFmpegMux.h"

#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/FFmpegAudioOutput.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/FFmpegVideoOutput.h"

namespace {

// Where the packet leaves the muxer stream (microseconds).
void AdvanceMuxedTime(TOutputStream& base, const AVPacket* packet) {
    int64_t end = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (end == AV_NOPTS_VALUE) return;
    if (packet->duration > 0) end += packet->duration;
    const int64_t time = libav::av_rescale_q(end, base.St->time_base, AV_TIME_BASE_Q);
    if (time > base.MuxedTime) base.MuxedTime = time;
}

// The packet to the muxer. Returns 0 or a failure.
int Mux(TCustomFFmpeg& task, AVFormatContext* oc, AVPacket* packet) {
    task.Run.OutputIOStart.Start();
    const int ret = libav::av_interleaved_write_frame(oc, packet);
    if (ret >= 0) return 0;
    libav::av_packet_unref(packet);
    RaiseFrameOutputError(oc);  // an event handler's own error first
    return FailStepFatal(task, ret, ErrorText("av_interleaved_write_frame()", ret));
}

// A bitstream filter's error is logged; with -xerror it is a failure. Returns 0 or the failure.
int ReportFilterError(TCustomFFmpeg& task, const TOutputStream& ost, const AVBSFContext* bsf,
                      int code) {
    const char* codec = ost.StreamCopy ? "copy" : ost.Enc ? ost.Enc->name : "copy";
    const std::string message =
        ErrorText(StrFormat("Failed to open bitstream filter %s for stream %d with codec %s",
                            bsf->filter->name, ost.St->index, codec),
                  code);
    task.Log(llError, message);
    return task.ExitOnError ? FailStepFatal(task, code, message) : 0;
}

// The packet through the filters from `level` on, then to the muxer. Returns 0 or a failure.
int FilterAndMux(TCustomFFmpeg& task, AVFormatContext* oc, AVPacket* packet, TOutputStream& base,
                 size_t level) {
    if (level == base.BitstreamFilters.size()) return Mux(task, oc, packet);
    AVBSFContext* bsf = base.BitstreamFilters[level];
    int ret = libav::av_bsf_send_packet(bsf, packet);
    if (ret < 0) {
        libav::av_packet_unref(packet);
        return ReportFilterError(task, base, bsf, ret);
    }
    AVPacket* filtered = base.FilteredPackets[level];
    while ((ret = libav::av_bsf_receive_packet(bsf, filtered)) >= 0) {
        const int failed = FilterAndMux(task, oc, filtered, base, level + 1);
        if (failed < 0) return failed;
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
        return ReportFilterError(task, base, bsf, ret);
    return 0;
}

}  // namespace

int WritePacket(TCustomFFmpeg& task, AVFormatContext* oc, AVPacket* packet, TOutputStream& ost) {
    const bool encodedVideo =
        ost.EncodingNeeded && ost.EncoderContext->codec_type == AVMEDIA_TYPE_VIDEO;
    if (!encodedVideo) {
        // encoded video is counted where its frames are made
        if (ost.FrameNumber >= ost.MaxFrames) {
            libav::av_packet_unref(packet);
            return 0;
        }
        ost.FrameNumber++;
    }
    TOutputStream& base = EncodingStream(task, ost);
    packet->stream_index = base.St->index;
    AdvanceMuxedTime(base, packet);
    return FilterAndMux(task, oc, packet, base, 0);
}

int DrainEncoders(TCustomFFmpeg& task, int first, int count) {
    for (int i = first; i < first + count && i < OutputStreamCount(task); i++) {
        TOutputStream& ost = task.OutputStreams[i];
        if (ost.Flushed) continue;
        ost.Flushed = true;
        if (!ost.EncodingNeeded) continue;
        AVFormatContext* oc = MuxerOf(task, ost);
        AVCodecContext* enc = ost.EncoderContext;
        int ret = 0;
        switch (enc->codec_type) {
            case AVMEDIA_TYPE_AUDIO:
                ret = DrainAudioEncoder(task, oc, ost);
                break;
            case AVMEDIA_TYPE_VIDEO:
                ret = libav::avcodec_send_frame(enc, nullptr);
                if (ret < 0 && ret != AVERROR_EOF)
                    return FailStepFatal(task, ret, "Video encoding failed");
                ret = ReceiveVideoPackets(task, oc, ost);
                break;
            default:
                break;
        }
        if (ret < 0) return ret;
    }
    return 0;
}
