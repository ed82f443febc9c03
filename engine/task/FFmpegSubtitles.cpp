// Subtitles: decoded, then encoded again for every output stream that takes them (DVB
// subtitles twice: once to show, once to clear).
#include "engine/task/FFmpegSubtitles.h"

#include <cstring>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegDecodePacket.h"
#include "engine/task/FFmpegMux.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

namespace {

constexpr size_t kSubtitleBufferSize = 1048576;

int IndexOf(const TCustomFFmpeg& task, const TInputStream& ist) {
    return static_cast<int>(&ist - task.InputStreams.data());
}

// Frees a decoded subtitle when it goes out of scope.
struct TSubtitleGuard {
    AVSubtitle* Subtitle;
    ~TSubtitleGuard() { libav::avsubtitle_free(Subtitle); }
};

// Frees an encoded subtitle's packet when it goes out of scope.
struct TPacketGuard {
    AVPacket* Packet;
    ~TPacketGuard() { libav::av_packet_free(&Packet); }
};

// Encodes the subtitle for ost (DVB subtitles twice: once to show, once to clear) and writes
// it; its times are microseconds from `pts`. Returns 0 or a failure.
int WriteSubtitle(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                  AVSubtitle& subtitle, int64_t pts) {
    if (pts == AV_NOPTS_VALUE) {
        task.Log(llError, "Subtitle packets must have a pts");
        if (task.ExitOnError)
            return FailStepFatal(task, kErrorInvalidArgument, "Subtitle packets must have a pts");
        return 0;
    }
    std::vector<uint8_t>& buffer = task.Run.SubtitleBuffer;
    if (buffer.empty()) buffer.resize(kSubtitleBufferSize);
    AVCodecContext* enc = ost.EncoderContext;
    const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    const AVRational milliseconds{1, 1000};
    const unsigned rects = subtitle.num_rects;
    for (int i = 0; i < (dvb ? 2 : 1); i++) {
        subtitle.pts =
            pts + libav::av_rescale_q(subtitle.start_display_time, milliseconds, AV_TIME_BASE_Q);
        subtitle.end_display_time -= subtitle.start_display_time;
        subtitle.start_display_time = 0;
        if (i == 1) subtitle.num_rects = 0;  // the second DVB packet clears the screen
        const int size = libav::avcodec_encode_subtitle(enc, buffer.data(),
                                                        static_cast<int>(buffer.size()), &subtitle);
        subtitle.num_rects = rects;
        if (size < 0) return FailStepFatal(task, size, "Subtitle encoding failed");
        TPacketGuard guard{libav::av_packet_alloc()};
        AVPacket* packet = guard.Packet;
        if (!packet || libav::av_new_packet(packet, size) < 0)
            return FailStepFatal(task, kErrorOutOfMemory, "Subtitle encoding failed");
        std::memcpy(packet->data, buffer.data(), size);
        const AVRational tb = ost.St->time_base;
        packet->pts = libav::av_rescale_q(subtitle.pts, AV_TIME_BASE_Q, tb);
        packet->duration = libav::av_rescale_q(subtitle.end_display_time, milliseconds, tb);
        if (dvb)
            packet->pts += libav::av_rescale_q(
                i == 0 ? subtitle.start_display_time : subtitle.end_display_time, milliseconds, tb);
        packet->dts = packet->pts;
        const int ret = WritePacket(task, oc, packet, ost);
        if (ret < 0) return ret;
    }
    return 0;
}

}  // namespace

int DecodeSubtitle(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError) {
    if (!packet) return 0;  // subtitle decoders hold nothing back
    AVSubtitle subtitle{};
    int got = 0;
    // the decoder takes microseconds (its packet time base)
    const int64_t pts = packet->pts, dts = packet->dts, duration = packet->duration;
    const AVRational tb = ist.St->time_base;
    if (pts != AV_NOPTS_VALUE) packet->pts = libav::av_rescale_q(pts, tb, AV_TIME_BASE_Q);
    if (dts != AV_NOPTS_VALUE) packet->dts = libav::av_rescale_q(dts, tb, AV_TIME_BASE_Q);
    packet->duration = libav::av_rescale_q(duration, tb, AV_TIME_BASE_Q);
    const int ret = libav::avcodec_decode_subtitle2(ist.DecoderContext, &subtitle, &got, packet);
    packet->pts = pts;
    packet->dts = dts;
    packet->duration = duration;
    if (ret < 0) {
        decoderError = ret;
        return 0;
    }
    if (!got) return 0;
    TSubtitleGuard guard{&subtitle};
    PaceInput(task, ist);
    const int index = IndexOf(task, ist);
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.SourceIndex != index || !ost.EncodingNeeded) continue;
        if (!InOutputWindow(task, ist, ost)) continue;
        const int written = WriteSubtitle(task, MuxerOf(task, ost), ost, subtitle, subtitle.pts);
        if (written < 0) return written;
    }
    return 0;
}
