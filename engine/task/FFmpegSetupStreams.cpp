// Each output stream's parameters from its source stream: a stream copy takes the source's
// codec parameters and a time base the muxer can hold; an encoded stream gets its picture or
// sample format, size, rate and channels from the source where the options left them open,
// its filter graph (video), its FIFO (audio) and its two-pass log.
#include "engine/task/FFmpegSetupStreams.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FFUtils.h"
#include "engine/core/ShownPicture.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegCodecChecks.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/FFmpegVideoGraph.h"

namespace {

bool IsMovFamily(const char* name) {
    for (const char* mov : {"mov", "mp4", "3gp", "3g2", "psp", "ipod"})
        if (std::strcmp(name, mov) == 0) return true;
    return false;
}

// One frame of the source in its codec's time base (frame rate, ticks per frame), or 0/0.
AVRational SourceFrameTimeBase(const TInputStream& ist) {
    AVRational rate = ist.St->avg_frame_rate;
    if (!rate.num || !rate.den) rate = ist.St->r_frame_rate;
    if (!rate.num || !rate.den) return AVRational{0, 0};
    return av_inv_q(rate);
}

// The time base a copied stream asks its muxer for.
AVRational CopyTimeBase(TCustomFFmpeg& task, const TInputStream& ist,
                        const AVOutputFormat* format) {
    AVRational tb = ist.St->time_base;
    const AVRational frame = SourceFrameTimeBase(ist);
    if (frame.num && frame.den) {
        const double frameSeconds = av_q2d(frame), streamSeconds = av_q2d(tb);
        const bool finer = streamSeconds < 1.0 / 500;
        if (std::strcmp(format->name, "avi") == 0) {
            if (task.CopyTb == 0 || (task.CopyTb < 0 && frameSeconds > 2 * streamSeconds && finer))
                tb = AVRational{frame.num, frame.den * 2};
        } else if (!(format->flags & AVFMT_VARIABLE_FPS) && !IsMovFamily(format->name)) {
            if (task.CopyTb == 0 || (task.CopyTb < 0 && frameSeconds > streamSeconds && finer))
                tb = frame;
        }
    }
    libav::av_reduce(&tb.num, &tb.den, tb.num, tb.den, INT_MAX);
    return tb;
}

uint32_t CopyCodecTag(const AVOutputFormat* format, const AVCodecParameters* in) {
    if (!format->codec_tag) return in->codec_tag;
    if (libav::av_codec_get_id(format->codec_tag, in->codec_tag) == in->codec_id ||
        !libav::av_codec_get_tag(format->codec_tag, in->codec_id))
        return in->codec_tag;
    return 0;
}

int SetupStreamCopy(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist) {
    AVCodecParameters* par = ost.St->codecpar;
    const AVCodecParameters* in = ist.St->codecpar;
    const AVOutputFormat* format = MuxerOf(task, ost)->oformat;
    if (in->extradata_size > INT_MAX - 16)
        return FailStep(task, kErrorInvalidArgument,
                        "icodec.extradata_size is invalid (too large)");
    const uint32_t forcedTag = par->codec_tag;
    if (libav::avcodec_parameters_copy(par, in) < 0)
        return FailStep(task, kErrorOutOfMemory, "av_mallocz() failed");
    par->codec_tag = forcedTag ? forcedTag : CopyCodecTag(format, in);
    ost.St->time_base = CopyTimeBase(task, ist, format);

    switch (par->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            if (task.AudioVolume != 256)
                return FailStep(task, kErrorInvalidArgument,
                                "-acodec copy and -vol are incompatible (frames are not decoded)");
            if (task.Routes.AudioHook)
                return FailStep(
                    task, kErrorInvalidArgument,
                    "-acodec copy and AudioHook are incompatible (frames are not decoded)");
            break;
        case AVMEDIA_TYPE_VIDEO: {
            const AVRational sar = ist.St->sample_aspect_ratio.num ? ist.St->sample_aspect_ratio
                                   : in->sample_aspect_ratio.num   ? in->sample_aspect_ratio
                                                                   : AVRational{0, 1};
            par->sample_aspect_ratio = ost.St->sample_aspect_ratio = sar;
            ost.St->avg_frame_rate = ist.St->avg_frame_rate;
            const char* hook = nullptr;
            if (task.Routes.VideoInputHook || task.Routes.VideoOutputHook)
                hook = "VideoHook";
            else if (task.Routes.FrameInputHook || task.Routes.FrameOutputHook)
                hook = "FrameHook";
            else if (task.UseFrameHook)
                hook = "-vhook";
            else if (task.Flags() != 0)
                hook = "PostHooks";
            if (hook)
                return FailStep(
                    task, kErrorInvalidArgument,
                    StrFormat("-vcodec copy and %s are incompatible (frames are not decoded)",
                              hook));
            break;
        }
        case AVMEDIA_TYPE_SUBTITLE:  // width and height came with the parameters
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
            break;
        default:
            return FailStep(task, kErrorOther, "invalid codec_type of output stream");
    }
    // the stream's encoder context describes the copied stream for the reports
    libav::avcodec_parameters_to_context(ost.EncoderContext, par);
    ost.EncoderContext->time_base = ost.St->time_base;
    return 0;
}

int SetupVideoEncoding(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist) {
    AVCodecContext* enc = ost.EncoderContext;
    const AVCodecContext* dec = ist.DecoderContext;
    // a requested format the encoder does not take is replaced as an unset one is
    if (enc->pix_fmt == AV_PIX_FMT_NONE) enc->pix_fmt = dec->pix_fmt;
    PickPixelFormat(task, ost, ost.Enc);
    if (enc->pix_fmt == AV_PIX_FMT_NONE)
        return FailStep(task, kErrorOther,
                        "Video pixel format is unknown, stream cannot be encoded");
    if (enc->width == 0 || enc->height == 0) {
        // the pictures' size once the graph has turned them upright
        const bool swapped = PictureTurnOf(*ist.St).SwapsSides();
        enc->width = swapped ? dec->height : dec->width;
        enc->height = swapped ? dec->width : dec->height;
    }
    ost.VideoResample =
        enc->width != dec->width || enc->height != dec->height || enc->pix_fmt != dec->pix_fmt;
    if (ost.VideoResample) enc->bits_per_raw_sample = task.BitsPerRawSample;
    ost.ResampleWidth = dec->width;
    ost.ResampleHeight = dec->height;
    ost.ResamplePixFmt = dec->pix_fmt;

    if (!ost.FrameRate.num) {
        const AVRational real = ist.St->r_frame_rate;
        ost.FrameRate = real.num && real.den ? real : AVRational{25, 1};
    }
    if (ost.Enc && ost.Enc->supported_framerates && !ost.ForceFps)
        ost.FrameRate = ost.Enc->supported_framerates[libav::av_find_nearest_q_idx(
            ost.FrameRate, ost.Enc->supported_framerates)];
    enc->time_base = av_inv_q(ost.FrameRate);
    enc->framerate = ost.FrameRate;
    const AVOutputFormat* format = MuxerOf(task, ost)->oformat;
    if (av_q2d(enc->time_base) < 0.001 &&
        (task.VideoSyncMethod == 1 ||
         (task.VideoSyncMethod == -1 && !(format->flags & AVFMT_VARIABLE_FPS))))
        libav::av_log(MuxerOf(task, ost), AV_LOG_WARNING, "%s",
                      "Frame rate very high for a muxer not effciciently supporting it.\n"
                      "Please consider specifiying a lower framerate, a different muxer or -vsync "
                      "2\n");
    for (int64_t& time : ost.ForcedKfPts)
        time = libav::av_rescale_q(time, AV_TIME_BASE_Q, enc->time_base);

    const int ret = BuildVideoGraph(ist, ost, task.FilterThreads);
    if (ret < 0) return FailStep(task, ret, ErrorText("Error opening filters", ret));
    return 0;
}

void UseDefaultLayoutWhenUnordered(AVChannelLayout& layout) {
    if (layout.order != AV_CHANNEL_ORDER_UNSPEC || layout.nb_channels <= 0) return;
    const int channels = layout.nb_channels;
    libav::av_channel_layout_uninit(&layout);
    libav::av_channel_layout_default(&layout, channels);
}

// A decoder that can mix down (its "downmix" option) is asked for the encoder's channels.
void RequestDecoderChannels(TInputStream& ist, const AVChannelLayout& wanted) {
    const AVCodec* decoder = ist.Decoder;
    if (!decoder || !decoder->priv_class ||
        wanted.nb_channels >= ist.DecoderContext->ch_layout.nb_channels)
        return;
    const AVClass* decoderClass = decoder->priv_class;
    if (!libav::av_opt_find(&decoderClass, "downmix", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) return;
    char name[128];
    if (libav::av_channel_layout_describe(&wanted, name, sizeof(name)) < 0) return;
    libav::av_dict_set(&ist.DecoderOpts, "downmix", name, AV_DICT_DONT_OVERWRITE);
}

int SetupAudioEncoding(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist) {
    AVCodecContext* enc = ost.EncoderContext;
    AVCodecContext* dec = ist.DecoderContext;
    // requested values the encoder does not take are replaced as unset ones are
    if (enc->sample_rate == 0) enc->sample_rate = dec->sample_rate;
    PickSampleRate(task, ost, ost.Enc);
    enc->time_base = AVRational{1, enc->sample_rate};
    if (enc->sample_fmt == AV_SAMPLE_FMT_NONE) enc->sample_fmt = dec->sample_fmt;
    PickSampleFormat(task, ost, ost.Enc);
    UseDefaultLayoutWhenUnordered(dec->ch_layout);
    if (ost.AudioChannelsMapped) {
        if (enc->ch_layout.nb_channels == 0) {
            libav::av_channel_layout_default(&enc->ch_layout, ost.AudioChannelsMapped);
            if (enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                return FailStep(
                    task, kErrorOther,
                    "Unable to find an appropriate channel layout for requested number of "
                    "channel");
        }
        for (int i = ost.AudioChannelsMapped; i < kMaxAudioChannelMap; i++)
            ost.AudioChannelsMap[i] = -1;
    } else if (enc->ch_layout.nb_channels == 0) {
        libav::av_channel_layout_copy(&enc->ch_layout, &dec->ch_layout);
    }
    UseDefaultLayoutWhenUnordered(enc->ch_layout);
    ost.AudioResample = enc->sample_rate != dec->sample_rate ||
                        enc->sample_fmt != dec->sample_fmt ||
                        libav::av_channel_layout_compare(&enc->ch_layout, &dec->ch_layout) != 0 ||
                        task.AudioSyncMethod > 1;
    RequestDecoderChannels(ist, enc->ch_layout);
    ost.ResampleSampleFmt = dec->sample_fmt;
    ost.ResampleChannels = dec->ch_layout.nb_channels;
    ost.ResampleSampleRate = dec->sample_rate;

    const int channels = enc->ch_layout.nb_channels;
    const int bytes = libav::av_get_bytes_per_sample(enc->sample_fmt);
    ost.Fifo = channels > 0 && bytes > 0
                   ? libav::av_audio_fifo_alloc(enc->sample_fmt, channels,
                                                std::max(1, 1024 / (channels * bytes)))
                   : nullptr;
    if (!ost.Fifo) return FailStep(task, kErrorOutOfMemory, "av_fifo_alloc failed");
    return 0;
}

int SetupTwoPass(TCustomFFmpeg& task, TOutputStream& ost, int ostIndex) {
    AVCodecContext* enc = ost.EncoderContext;
    if (!(enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))) return 0;
    const std::string prefix =
        task.PassLogFilePrefix.empty() ? "ffencoder2pass" : task.PassLogFilePrefix;
    std::string name = StrFormat("%s-%d.log", prefix.c_str(), ostIndex);
    if (name.size() > 1023) name.resize(1023);
    if (ost.Enc && std::strcmp(ost.Enc->name, "libx264") == 0) {
        libav::av_dict_set(&ost.Opts, "stats", name.c_str(), AV_DICT_DONT_OVERWRITE);
        return 0;
    }
    if (enc->flags & AV_CODEC_FLAG_PASS2) {
        uint8_t* stats = nullptr;
        size_t size = 0;
        const int ret = ReadWholeFile(name, &stats, &size);
        if (ret == AVERROR(ENOMEM))
            return FailStep(
                task, kErrorOutOfMemory,
                StrFormat("Could not allocate file buffer: Error reading log file \"%s\" "
                          "for pass-2 encoding",
                          name.c_str()));
        if (ret < 0)
            return FailStep(
                task, kErrorOther,
                StrFormat("Error reading log file \"%s\" for pass-2 encoding", name.c_str()));
        enc->stats_in = reinterpret_cast<char*>(stats);
    }
    if (enc->flags & AV_CODEC_FLAG_PASS1) {
        ost.Logfile = std::fopen(name.c_str(), "wb");
        if (!ost.Logfile)
            return FailStep(
                task, kErrorOther,
                StrFormat("Cannot write log file %s for pass-1 encoding", name.c_str()));
    }
    return 0;
}

int SetupEncoding(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist, int ostIndex) {
    if (!ost.Enc) ost.Enc = libav::avcodec_find_encoder(ost.EncoderContext->codec_id);
    ist.DecodingNeeded = true;
    ost.EncodingNeeded = true;
    int ret = 0;
    switch (ost.EncoderContext->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            ret = SetupVideoEncoding(task, ost, ist);
            break;
        case AVMEDIA_TYPE_AUDIO:
            ret = SetupAudioEncoding(task, ost, ist);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            // subtitle times travel in microseconds
            ost.EncoderContext->time_base = AV_TIME_BASE_Q;
            break;
        default:
            return FailStep(task, kErrorOther, "invalid codec_type of output stream");
    }
    if (ret < 0) return ret;
    return SetupTwoPass(task, ost, ostIndex);
}

// A join copy decodes its own input into the encoder of its group-0 stream: it needs its own
// graph (video) and the remembered source format, nothing of the shared encoder changes.
int SetupJoinCopy(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist) {
    const TOutputStream& base = task.OutputStreams[ost.JoinBase];
    if (base.StreamCopy) {
        ost.StreamCopy = true;
        return 0;
    }
    ist.DecodingNeeded = true;
    ost.EncodingNeeded = true;
    ost.Enc = base.Enc;
    const AVCodecContext* enc = ost.EncoderContext;
    const AVCodecContext* dec = ist.DecoderContext;
    switch (enc->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
            ost.FrameRate = base.FrameRate;
            ost.VideoResample = enc->width != dec->width || enc->height != dec->height ||
                                enc->pix_fmt != dec->pix_fmt;
            ost.ResampleWidth = dec->width;
            ost.ResampleHeight = dec->height;
            ost.ResamplePixFmt = dec->pix_fmt;
            const int ret = BuildVideoGraph(ist, ost, task.FilterThreads);
            if (ret < 0) return FailStep(task, ret, ErrorText("Error opening filters", ret));
            return 0;
        }
        case AVMEDIA_TYPE_AUDIO:
            UseDefaultLayoutWhenUnordered(ist.DecoderContext->ch_layout);
            ost.AudioResample =
                enc->sample_rate != dec->sample_rate || enc->sample_fmt != dec->sample_fmt ||
                libav::av_channel_layout_compare(&enc->ch_layout, &dec->ch_layout) != 0 ||
                task.AudioSyncMethod > 1;
            ost.ResampleSampleFmt = dec->sample_fmt;
            ost.ResampleChannels = dec->ch_layout.nb_channels;
            ost.ResampleSampleRate = dec->sample_rate;
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int SetupOutputStream(TCustomFFmpeg& task, TOutputStream& ost, int ostIndex) {
    if (ost.SourceIndex < 0) return 0;  // attachments have no source
    TInputStream& ist = SourceOf(task, ost);
    if (ost.JoinBase >= 0) return SetupJoinCopy(task, ost, ist);
    ost.St->disposition = ist.St->disposition;
    ost.EncoderContext->chroma_sample_location = ist.DecoderContext->chroma_sample_location;
    ost.EncoderContext->bits_per_raw_sample = ist.DecoderContext->bits_per_raw_sample;
    if (ost.StreamCopy) return SetupStreamCopy(task, ost, ist);
    return SetupEncoding(task, ost, ist, ostIndex);
}
