// The audio path from a packet to the outputs: decoding, the frame's timestamps, the audio hook,
// the volume (-vol), and each frame handed to every output stream that encodes it.
#include "engine/task/FFmpegAudioDecode.h"

#include <algorithm>
#include <climits>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegAudioOutput.h"
#include "engine/task/FFmpegDecodePacket.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

namespace {

constexpr int kMaxDrainErrors = 64;

int IndexOf(const TCustomFFmpeg& task, const TInputStream& ist) {
    return static_cast<int>(&ist - task.InputStreams.data());
}

template <typename T>
T Clip(int64_t value, int64_t low, int64_t high) {
    return static_cast<T>(std::clamp(value, low, high));
}

// Multiplies every sample by volume / 256 (the divisions are arithmetic shifts by 8). Returns
// 0, or a failure for a sample format it cannot scale.
int ScaleSamples(TCustomFFmpeg& task, AVFrame* frame, int volume) {
    const int count = frame->nb_samples * frame->ch_layout.nb_channels;
    uint8_t* data = frame->extended_data[0];
    switch (frame->format) {
        case AV_SAMPLE_FMT_U8:
            for (int i = 0; i < count; i++)
                data[i] = Clip<uint8_t>((((data[i] - 128) * volume + 128) >> 8) + 128, 0, 255);
            return 0;
        case AV_SAMPLE_FMT_S16: {
            auto* samples = reinterpret_cast<int16_t*>(data);
            for (int i = 0; i < count; i++)
                samples[i] = Clip<int16_t>((samples[i] * volume + 128) >> 8, INT16_MIN, INT16_MAX);
            return 0;
        }
        case AV_SAMPLE_FMT_S32: {
            auto* samples = reinterpret_cast<int32_t*>(data);
            for (int i = 0; i < count; i++)
                samples[i] = Clip<int32_t>((static_cast<int64_t>(samples[i]) * volume + 128) >> 8,
                                           INT32_MIN, INT32_MAX);
            return 0;
        }
        case AV_SAMPLE_FMT_FLT: {
            auto* samples = reinterpret_cast<float*>(data);
            const float scale = volume / 256.0f;
            for (int i = 0; i < count; i++) samples[i] *= scale;
            return 0;
        }
        case AV_SAMPLE_FMT_DBL: {
            auto* samples = reinterpret_cast<double*>(data);
            const double scale = volume / 256.0;
            for (int i = 0; i < count; i++) samples[i] *= scale;
            return 0;
        }
        default:
            return FailStepFatal(
                task, kErrorInvalidArgument,
                StrFormat(
                    "Audio volume adjustment on sample format %s is not supported.",
                    libav::av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format))));
    }
}

void RunAudioHook(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    const bool planar = libav::av_sample_fmt_is_planar(format);
    const int size =
        frame->nb_samples * (planar ? 1 : channels) * libav::av_get_bytes_per_sample(format);
    task.Routes.AudioHook(&task, ist.Pts, frame->extended_data[0], size, frame->sample_rate,
                          channels, format);
}

// The frame's timestamps, the audio hook and the volume, then the outputs. Returns 0 or a
// failure.
int ProcessSamples(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame) {
    if (frame->nb_samples < 1)
        return FailStepFatal(task, kErrorOther,
                             StrFormat("the decoder \"%s\" return bad result.", ist.Decoder->name));
    if (frame->pts != AV_NOPTS_VALUE) ist.NextPts = frame->pts;
    if (frame->sample_rate > 0)
        ist.NextPts += static_cast<int64_t>(AV_TIME_BASE) * frame->nb_samples / frame->sample_rate;
    if (task.Routes.AudioHook) RunAudioHook(task, ist, frame);
    if (task.AudioVolume != 256) {
        const int ret = ScaleSamples(task, frame, task.AudioVolume);
        if (ret < 0) return ret;
    }
    PaceInput(task, ist);
    const int index = IndexOf(task, ist);
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.SourceIndex != index || !ost.EncodingNeeded) continue;
        if (!InOutputWindow(task, ist, ost)) continue;
        const int ret = do_audio_out(task, MuxerOf(task, ost), ost, ist, frame);
        if (ret < 0) return ret;
    }
    return 0;
}

}  // namespace

int DecodeAudio(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError) {
    if (!ist.DecodedFrame) ist.DecodedFrame = libav::av_frame_alloc();
    if (!ist.DecodedFrame) {
        decoderError = kErrorOutOfMemory;  // nothing can be decoded without it
        return 0;
    }
    const bool draining = packet == nullptr;
    AVFrame* frame = ist.DecodedFrame;
    int sent = SendPacketToDecoder(ist, packet);
    int frames = 0, errors = 0, received = 0;
    bool resent = false;
    while (true) {
        received = libav::avcodec_receive_frame(ist.DecoderContext, frame);
        if (received == AVERROR(EAGAIN) && sent == AVERROR(EAGAIN) && !resent) {
            sent = SendPacketToDecoder(ist, packet);  // frames left from an error made room
            resent = true;
            continue;
        }
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
        if (received < 0) {
            if (!draining || ++errors > kMaxDrainErrors) break;
            continue;
        }
        errors = 0;
        // every further frame of the same packet starts where the one before ended
        if (++frames > 1) {
            ist.Pts = ist.NextPts;
            if (!draining && frames == 2) WarnMultipleFrames(task, ist);
        }
        const int ret = ProcessSamples(task, ist, frame);
        libav::av_frame_unref(frame);
        if (ret < 0) return ret;
    }
    if (sent < 0 && sent != AVERROR_EOF)
        decoderError = sent;
    else if (received < 0 && received != AVERROR(EAGAIN) && received != AVERROR_EOF)
        decoderError = received;
    return 0;
}
