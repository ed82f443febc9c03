// The audio path from a decoded frame to the muxer: resampling to the encoder's format, rate
// and channels, keeping the audio in step with its input timestamps (dropping samples,
// inserting silence, or stretching through the resampler), cutting the samples into encoder
// frames through the stream's FIFO, encoding and writing.
#include "engine/task/FFmpegAudioOutput.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swresample.h"
#include "engine/task/FFmpegMux.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

namespace {

// A block of samples: plane pointers (one plane for interleaved formats) and a count.
struct TSampleBlock {
    const uint8_t* const* Planes = nullptr;
    int Count = 0;
};

int PlaneCount(AVSampleFormat format, int channels) {
    return libav::av_sample_fmt_is_planar(format) ? channels : 1;
}

// Bytes one sample of one plane takes.
int PlaneSampleBytes(AVSampleFormat format, int channels) {
    const int bytes = libav::av_get_bytes_per_sample(format);
    return libav::av_sample_fmt_is_planar(format) ? bytes : bytes * channels;
}

// The work buffer made large enough for what `inputSamples` samples of the decoder become in
// the encoder's format. Returns how many samples it holds, or a failure.
int ReserveWorkBuffer(TCustomFFmpeg& task, const AVCodecContext* enc, int64_t inputSamples,
                      int inputRate) {
    int64_t samples =
        inputRate > 0 ? (inputSamples * enc->sample_rate + inputRate) / inputRate : inputSamples;
    samples = std::max<int64_t>(2 * samples + 10000, enc->frame_size);
    const int64_t bytes =
        samples * libav::av_get_bytes_per_sample(enc->sample_fmt) * enc->ch_layout.nb_channels;
    if (bytes > INT_MAX)
        return FailStepFatal(task, kErrorInvalidArgument,
                             "Buffer sizes too large in do_audio_out()");
    TTaskRunState& run = task.Run;
    libav::av_fast_malloc(&run.AudioBuffer, &run.AudioBufferSize, static_cast<size_t>(bytes));
    if (!run.AudioBuffer)
        return FailStepFatal(task, kErrorOutOfMemory, "Out of memory in do_audio_out()");
    return static_cast<int>(samples);
}

// Plane pointers into a buffer holding `samples` samples of the format.
void FillPlanes(std::vector<uint8_t*>& planes, uint8_t* buffer, AVSampleFormat format, int channels,
                int samples) {
    planes.assign(std::max(channels, 1), nullptr);
    libav::av_samples_fill_arrays(planes.data(), nullptr, buffer, channels, samples, format, 1);
}

bool InputChanged(const TOutputStream& ost, const AVFrame* frame) {
    return ost.ResampleSampleFmt != frame->format ||
           ost.ResampleChannels != frame->ch_layout.nb_channels ||
           ost.ResampleSampleRate != frame->sample_rate;
}

// A resampler from the frame's format, rate and channels to the encoder's. Returns 0 or a
// failure.
int SetupResampler(TCustomFFmpeg& task, TOutputStream& ost, const AVFrame* frame) {
    const AVCodecContext* enc = ost.EncoderContext;
    SwrContext* swr = ost.Resampler ? ost.Resampler : libav::swr_alloc();
    if (swr) {
        AVChannelLayout inLayout{};
        libav::av_channel_layout_copy(&inLayout, &frame->ch_layout);
        if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC) {
            const int channels = inLayout.nb_channels;
            libav::av_channel_layout_uninit(&inLayout);
            libav::av_channel_layout_default(&inLayout, channels);
        }
        const int inResult = libav::av_opt_set_chlayout(swr, "ichl", &inLayout, 0);
        libav::av_channel_layout_uninit(&inLayout);
        if (inResult < 0) {
            libav::swr_free(&swr);
            ost.Resampler = nullptr;
            return FailStepFatal(task, inResult, "Unsupported number of input channels");
        }
        const int outResult = libav::av_opt_set_chlayout(swr, "ochl", &enc->ch_layout, 0);
        if (outResult < 0) {
            libav::swr_free(&swr);
            ost.Resampler = nullptr;
            return FailStepFatal(task, outResult, "Unsupported number of output channels");
        }
        libav::av_opt_set_int(swr, "isf", frame->format, 0);
        libav::av_opt_set_int(swr, "osf", enc->sample_fmt, 0);
        libav::av_opt_set_int(swr, "isr", frame->sample_rate, 0);
        libav::av_opt_set_int(swr, "osr", enc->sample_rate, 0);
        if (ost.AudioChannelsMapped) {
            libav::swr_set_channel_mapping(swr, ost.AudioChannelsMap);
            libav::av_opt_set_int(swr, "uch", ost.AudioChannelsMapped, 0);
        }
        libav::av_opt_set_double(swr, "rmvol", ost.RematrixVolume, 0);
        if (task.AudioSyncMethod > 1) libav::av_opt_set_int(swr, "flags", SWR_FLAG_RESAMPLE, 0);
        if (libav::swr_init(swr) < 0) {
            task.Log(llFatal, "swr_init() failed");
            libav::swr_free(&swr);
        }
    }
    ost.Resampler = swr;
    if (ost.Resampler) return 0;
    return FailStepFatal(task, kErrorOther,
                         StrFormat("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                   frame->ch_layout.nb_channels, frame->sample_rate,
                                   enc->ch_layout.nb_channels, enc->sample_rate));
}

// Switches resampling on or off for the frame's format, and (re)makes the resampler. Returns 0
// or a failure.
int UpdateResampler(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist,
                    const AVFrame* frame) {
    const AVCodecContext* enc = ost.EncoderContext;
    const bool differs = enc->ch_layout.nb_channels != frame->ch_layout.nb_channels ||
                         enc->sample_fmt != frame->format || enc->sample_rate != frame->sample_rate;
    if (differs) ost.AudioResample = true;
    const bool changed = InputChanged(ost, frame);
    if (!((ost.AudioResample && !ost.Resampler) || changed ||
          (ost.AudioChannelsMapped && !ost.Resampler)))
        return 0;
    if (changed) {
        task.Log(
            llInfo,
            StrFormat(
                "Input stream #%d:%d frame changed from rate:%d fmt:%s ch:%d to "
                "rate:%d fmt:%s ch:%d",
                ist.FileIndex, ist.St->index, ost.ResampleSampleRate,
                libav::av_get_sample_fmt_name(static_cast<AVSampleFormat>(ost.ResampleSampleFmt)),
                ost.ResampleChannels, frame->sample_rate,
                libav::av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)),
                frame->ch_layout.nb_channels));
        ost.ResampleSampleFmt = frame->format;
        ost.ResampleChannels = frame->ch_layout.nb_channels;
        ost.ResampleSampleRate = frame->sample_rate;
        libav::swr_free(&ost.Resampler);
    }
    if (task.AudioSyncMethod <= 1 && !ost.AudioChannelsMapped &&
        ost.ResampleSampleFmt == enc->sample_fmt &&
        ost.ResampleChannels == enc->ch_layout.nb_channels &&
        ost.ResampleSampleRate == enc->sample_rate) {
        ost.AudioResample = false;
        return 0;
    }
    ost.AudioResample = true;
    return SetupResampler(task, ost, frame);
}

// Keeps the output in step with the input's timestamps. May drop samples from the block's
// front (all of them: block.Count 0, nothing is left to write) or put silence before them, in
// a buffer of their own, for which the work buffer grows (`capacity`). Returns 0 or a failure.
int SyncSamples(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist, const AVFrame* frame,
                TSampleBlock& block, int& capacity) {
    TOutputStream& base = EncodingStream(task, ost);
    const AVCodecContext* enc = ost.EncoderContext;
    const TInputStream& sync = ost.SyncIstIndex >= 0 ? task.InputStreams[ost.SyncIstIndex] : ist;
    const double position =
        static_cast<double>(sync.Pts - task.OutputFiles[ost.FileIndex].StartTime) / AV_TIME_BASE;
    const int64_t queued = libav::av_audio_fifo_size(base.Fifo);
    const int outRate = enc->sample_rate, inRate = frame->sample_rate;
    if (!task.AudioSyncMethod) {
        // never back: the encoder's timestamps must grow
        ost.SyncOpts = std::max<int64_t>(std::llround(position * outRate) - queued, ost.SyncOpts);
        return 0;
    }
    const double delta = position * outRate - ost.SyncOpts - queued;
    const int64_t inputDelta = static_cast<int64_t>(delta * inRate / outRate);
    if (std::fabs(delta) <= 50) return 0;
    if (!ist.IsStart && std::fabs(delta) <= outRate * task.AudioDriftThreshold) {
        if (task.AudioSyncMethod < 2 || !ost.Resampler) return 0;
        const int compensation = static_cast<int>(
            std::clamp<int64_t>(std::llround(delta), -task.AudioSyncMethod, task.AudioSyncMethod));
        task.Log(llVerbose, StrFormat("compensating audio timestamp drift:%f compensation:%d in:%d",
                                      delta, compensation, outRate));
        libav::swr_set_compensation(ost.Resampler, compensation, outRate);
        return 0;
    }
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    const int planeBytes = PlaneSampleBytes(format, channels);
    std::vector<const uint8_t*>& planes = task.Run.InputPlanes;
    if (inputDelta < 0) {
        const int dropped = static_cast<int>(std::min<int64_t>(-inputDelta, block.Count));
        task.Log(llVerbose, StrFormat("discarding %d audio samples", dropped));
        planes.assign(block.Planes, block.Planes + PlaneCount(format, channels));
        for (const uint8_t*& plane : planes) plane += static_cast<size_t>(dropped) * planeBytes;
        block.Planes = planes.data();
        block.Count -= dropped;
        ist.IsStart = false;
        return 0;
    }
    // silence in front of the samples, in a buffer of their own
    const int silence = static_cast<int>(std::min<int64_t>(inputDelta, INT_MAX / 4));
    const int total = silence + block.Count;
    const int bytes = libav::av_samples_get_buffer_size(nullptr, channels, total, format, 1);
    if (bytes < 0) return FailStepFatal(task, bytes, "Buffer sizes too large in do_audio_out()");
    TTaskRunState& run = task.Run;
    libav::av_fast_malloc(&run.SilenceBuffer, &run.SilenceBufferSize, static_cast<size_t>(bytes));
    if (!run.SilenceBuffer)
        return FailStepFatal(task, kErrorOutOfMemory, "Out of memory in do_audio_out()");
    std::vector<uint8_t*>& padded = run.PaddedPlanes;
    FillPlanes(padded, run.SilenceBuffer, format, channels, total);
    libav::av_samples_set_silence(padded.data(), 0, silence, channels, format);
    libav::av_samples_copy(padded.data(), const_cast<uint8_t* const*>(block.Planes), silence, 0,
                           block.Count, channels, format);
    block.Planes = padded.data();
    block.Count = total;
    ist.IsStart = false;
    task.Log(llVerbose, StrFormat("adding %d audio samples of silence", silence));
    capacity = ReserveWorkBuffer(task, enc, total, inRate);
    return capacity < 0 ? capacity : 0;
}

// The encoder's frame, with room for `samples` samples and writable, in `frame`. Returns 0 or a
// failure.
int EncoderFrameFor(TCustomFFmpeg& task, TOutputStream& base, int samples, AVFrame*& frame) {
    const AVCodecContext* enc = base.EncoderContext;
    if (!base.EncoderFrame) base.EncoderFrame = libav::av_frame_alloc();
    frame = base.EncoderFrame;
    if (!frame)
        return FailStepFatal(task, kErrorOutOfMemory, "out-of-memory in encode_audio_frame()");
    if (base.EncoderFrameCapacity < samples || !libav::av_frame_is_writable(frame)) {
        libav::av_frame_unref(frame);
        frame->nb_samples = std::max(samples, enc->frame_size);
        frame->format = enc->sample_fmt;
        frame->sample_rate = enc->sample_rate;
        libav::av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
        const int ret = libav::av_frame_get_buffer(frame, 0);
        if (ret < 0) return FailStepFatal(task, ret, "Audio encoding failed");
        base.EncoderFrameCapacity = frame->nb_samples;
    }
    frame->nb_samples = samples;
    return 0;
}

// Sends `samples` samples from the stream's FIFO to the encoder (padded with silence to a whole
// frame where the encoder needs it). Returns 0 or a failure.
int SendQueuedSamples(TCustomFFmpeg& task, TOutputStream& ost, int samples) {
    TOutputStream& base = EncodingStream(task, ost);
    AVCodecContext* enc = ost.EncoderContext;
    AVFrame* frame = nullptr;
    const int ret = EncoderFrameFor(task, base, std::max(samples, enc->frame_size), frame);
    if (ret < 0) return ret;
    const int read = libav::av_audio_fifo_read(
        base.Fifo, reinterpret_cast<void**>(frame->extended_data), samples);
    const bool padded = !(enc->codec->capabilities &
                          (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) &&
                        enc->frame_size > 1;
    int count = std::max(read, 0);
    if (padded && count < enc->frame_size) {
        libav::av_samples_set_silence(frame->extended_data, count, enc->frame_size - count,
                                      enc->ch_layout.nb_channels, enc->sample_fmt);
        count = enc->frame_size;
    }
    frame->nb_samples = count;
    frame->pts = ost.SyncOpts;
    const int sent = libav::avcodec_send_frame(enc, frame);
    if (sent < 0) return FailStepFatal(task, sent, "Audio encoding failed");
    ost.SyncOpts += count;
    return 0;
}

// Encodes `samples` samples from the stream's FIFO (0 with `drain`: sends the end) and writes
// what the encoder gives. Returns 0 or a failure.
int encode_audio_frame(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, int samples,
                       bool drain) {
    AVCodecContext* enc = ost.EncoderContext;
    if (drain) {
        libav::avcodec_send_frame(enc, nullptr);
    } else {
        const int ret = SendQueuedSamples(task, ost, samples);
        if (ret < 0) return ret;
    }
    TTaskRunState& run = task.Run;
    if (!run.EncodedPacket) run.EncodedPacket = libav::av_packet_alloc();
    AVPacket* packet = run.EncodedPacket;
    if (!packet)
        return FailStepFatal(task, kErrorOutOfMemory, "out-of-memory in encode_audio_frame()");
    while (true) {
        const int ret = libav::avcodec_receive_packet(enc, packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
        if (ret < 0) return FailStepFatal(task, ret, "Audio encoding failed");
        libav::av_packet_rescale_ts(packet, enc->time_base, ost.St->time_base);
        if (task.JoinMode && packet->pts != AV_NOPTS_VALUE) {
            if (ost.LastPts != AV_NOPTS_VALUE && packet->pts <= ost.LastPts)
                packet->pts = ost.LastPts + 1;
            if (packet->dts != AV_NOPTS_VALUE && packet->dts > packet->pts)
                packet->dts = packet->pts;
            ost.LastPts = packet->pts;
        }
        const int size = packet->size;
        const int written = WritePacket(task, oc, packet, ost);
        if (written < 0) return written;
        run.AudioSize += size;
    }
}

// Puts the samples into the stream's FIFO and encodes every whole encoder frame. Returns 0 or
// a failure.
int QueueAndEncode(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                   const uint8_t* const* planes, int samples) {
    TOutputStream& base = EncodingStream(task, ost);
    const AVCodecContext* enc = ost.EncoderContext;
    if (samples > 0 &&
        libav::av_audio_fifo_write(
            base.Fifo, reinterpret_cast<void**>(const_cast<uint8_t**>(planes)), samples) < samples)
        return FailStepFatal(task, kErrorOutOfMemory, "av_fifo_realloc2() failed");
    const bool variable =
        (enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || enc->frame_size <= 1;
    if (variable) {
        const int queued = libav::av_audio_fifo_size(base.Fifo);
        return queued > 0 ? encode_audio_frame(task, oc, ost, queued, false) : 0;
    }
    while (libav::av_audio_fifo_size(base.Fifo) >= enc->frame_size) {
        const int ret = encode_audio_frame(task, oc, ost, enc->frame_size, false);
        if (ret < 0) return ret;
    }
    return 0;
}

}  // namespace

int do_audio_out(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, TInputStream& ist,
                 AVFrame* frame) {
    const AVCodecContext* enc = ost.EncoderContext;
    int capacity = ReserveWorkBuffer(task, enc, frame->nb_samples, frame->sample_rate);
    if (capacity < 0) return capacity;
    int ret = UpdateResampler(task, ost, ist, frame);
    if (ret < 0) return ret;
    TSampleBlock block{frame->extended_data, frame->nb_samples};
    ret = SyncSamples(task, ost, ist, frame, block, capacity);
    if (ret < 0 || block.Count <= 0) return ret;
    if (!ost.AudioResample) return QueueAndEncode(task, oc, ost, block.Planes, block.Count);
    std::vector<uint8_t*>& out = task.Run.OutputPlanes;
    FillPlanes(out, task.Run.AudioBuffer, enc->sample_fmt, enc->ch_layout.nb_channels, capacity);
    const int converted =
        libav::swr_convert(ost.Resampler, out.data(), capacity,
                           const_cast<const uint8_t**>(block.Planes), block.Count);
    if (converted < 0) return FailStepFatal(task, converted, ErrorText("swr_convert", converted));
    return QueueAndEncode(task, oc, ost, out.data(), converted);
}

int DrainAudioEncoder(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost) {
    TOutputStream& base = EncodingStream(task, ost);
    AVCodecContext* enc = ost.EncoderContext;
    if (ost.Resampler) {
        // what the resampler still holds
        const int capacity = ReserveWorkBuffer(task, enc, 0, enc->sample_rate);
        if (capacity < 0) return capacity;
        std::vector<uint8_t*>& out = task.Run.OutputPlanes;
        FillPlanes(out, task.Run.AudioBuffer, enc->sample_fmt, enc->ch_layout.nb_channels,
                   capacity);
        const int flushed = libav::swr_convert(ost.Resampler, out.data(), capacity, nullptr, 0);
        if (flushed > 0) {
            const int ret = QueueAndEncode(task, oc, ost, out.data(), flushed);
            if (ret < 0) return ret;
        }
    }
    const int queued = libav::av_audio_fifo_size(base.Fifo);
    if (queued > 0) {
        const int ret = encode_audio_frame(task, oc, ost, queued, false);
        if (ret < 0) return ret;
    }
    return encode_audio_frame(task, oc, ost, 0, true);
}
