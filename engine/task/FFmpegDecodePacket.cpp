// One packet of an input stream on its way out: through the decoder of a decoded stream (the
// video, audio and subtitle paths take it from there), and to every output stream that copies
// the input stream. Also the window of input times an output takes (-t, output -ss) and the
// pacing of -re inputs.
#include "engine/task/FFmpegDecodePacket.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegAudioDecode.h"
#include "engine/task/FFmpegStreamCopy.h"
#include "engine/task/FFmpegSubtitles.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/FFmpegVideoDecode.h"

namespace {

int64_t ToMicroseconds(int64_t timestamp, AVRational timeBase) {
    return timestamp == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                       : libav::av_rescale_q(timestamp, timeBase, AV_TIME_BASE_Q);
}

// How far a stream that is copied, not decoded, moves on with one packet (microseconds).
int64_t CopiedPacketDuration(const TInputStream& ist, const AVPacket* packet) {
    const AVCodecParameters* par = ist.St->codecpar;
    if (packet->duration > 0) return ToMicroseconds(packet->duration, ist.St->time_base);
    if (par->codec_type == AVMEDIA_TYPE_AUDIO)
        return par->sample_rate
                   ? static_cast<int64_t>(AV_TIME_BASE) * par->frame_size / par->sample_rate
                   : 0;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) return CodecFrameDuration(ist);
    return 0;
}

int DecodeByType(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError) {
    switch (ist.St->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            return DecodeVideo(task, ist, packet, decoderError);
        case AVMEDIA_TYPE_AUDIO:
            return DecodeAudio(task, ist, packet, decoderError);
        case AVMEDIA_TYPE_SUBTITLE:
            return DecodeSubtitle(task, ist, packet, decoderError);
        default:
            decoderError = kErrorOther;  // no decoding path takes the stream
            return 0;
    }
}

int IndexOf(const TCustomFFmpeg& task, const TInputStream& ist) {
    return static_cast<int>(&ist - task.InputStreams.data());
}

}  // namespace

int64_t CodecFrameDuration(const TInputStream& ist) {
    const AVCodecContext* dec = ist.DecoderContext;
    if (dec && dec->framerate.num > 0 && dec->framerate.den > 0)
        return libav::av_rescale_q(1, av_inv_q(dec->framerate), AV_TIME_BASE_Q);
    AVRational rate = ist.St->avg_frame_rate;
    if (!rate.num || !rate.den) rate = ist.St->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) return libav::av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
    return 0;
}

int SendPacketToDecoder(TInputStream& ist, AVPacket* packet) {
    AVCodecContext* dec = ist.DecoderContext;
    if (ist.DecoderDraining) return AVERROR_EOF;
    if (!packet) {
        ist.DecoderDraining = true;
        return libav::avcodec_send_packet(dec, nullptr);
    }
    const int64_t pts = packet->pts, dts = packet->dts, duration = packet->duration;
    packet->pts = ToMicroseconds(pts, ist.St->time_base);
    packet->dts = ToMicroseconds(dts, ist.St->time_base);
    packet->duration = duration > 0 ? ToMicroseconds(duration, ist.St->time_base) : duration;
    const int ret = libav::avcodec_send_packet(dec, packet);
    packet->pts = pts;
    packet->dts = dts;
    packet->duration = duration;
    return ret;
}

void WarnMultipleFrames(TCustomFFmpeg& task, TInputStream& ist) {
    task.Log(ist.ShowedMultiPacketWarning ? llVerbose : llWarning,
             StrFormat("Multiple frames in a packet from stream %d", ist.St->index));
    ist.ShowedMultiPacketWarning = true;
}

int DecodePacket(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError) {
    decoderError = 0;
    if (ist.NextPts == AV_NOPTS_VALUE) ist.NextPts = ist.Pts;
    const AVMediaType type = ist.St->codecpar->codec_type;
    if (packet && packet->dts != AV_NOPTS_VALUE) {
        const int64_t dts = ToMicroseconds(packet->dts, ist.St->time_base);
        if (type != AVMEDIA_TYPE_VIDEO || !ist.DecodingNeeded) ist.Pts = ist.NextPts = dts;
    }

    if (ist.DecodingNeeded) {
        ist.Pts = ist.NextPts;
        const int ret = DecodeByType(task, ist, packet, decoderError);
        if (ret < 0 || decoderError < 0) return ret;
    } else if (packet) {
        PaceInput(task, ist);
        ist.Pts = ist.NextPts;
        ist.NextPts += CopiedPacketDuration(ist, packet);
    }

    if (!packet) return 0;
    const int index = IndexOf(task, ist);
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.SourceIndex != index || ost.EncodingNeeded) continue;
        if (!InOutputWindow(task, ist, ost)) continue;
        const int ret = CopyPacket(task, ist, ost, packet);
        if (ret < 0) return ret;
    }
    return 0;
}

bool InOutputWindow(TCustomFFmpeg& task, const TInputStream& ist, TOutputStream& ost) {
    if (ost.SourceIndex != IndexOf(task, ist)) return false;
    const TOutputFile& of = task.OutputFiles[ost.FileIndex];
    // before the output's start; for decoded pictures also before an input's -ss position
    // (those decoded from the key frame before it)
    const bool picture = ist.DecodingNeeded && ist.St->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    if (ist.Pts < of.StartTime && (of.StartTime || picture)) return false;
    if (of.RecordingTime != INT64_MAX && ist.Pts >= of.RecordingTime + of.StartTime) {
        ost.IsPastRecordingTime = true;
        return false;
    }
    return true;
}

void PaceInput(TCustomFFmpeg& task, const TInputStream& ist) {
    if (!task.InputFiles[ist.FileIndex].RateEmu) return;
    // sleeps in short slices so that a stop request is not kept waiting
    while (!task.StopRequested()) {
        const int64_t ahead = ist.Pts - (libav::av_gettime_relative() - ist.Start);
        if (ahead <= 0) return;
        std::this_thread::sleep_for(std::chrono::microseconds(std::min<int64_t>(ahead, 10000)));
    }
}
