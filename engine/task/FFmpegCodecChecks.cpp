// What an encoder takes: the pixel format, sample format and sample rate nearest to what was
// asked for; experimental codecs and options no codec consumed.
#include "engine/task/FFmpegCodecChecks.h"

#include <cstdlib>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegTask.h"

namespace {

// The formats MJPEG and LJPEG accept beyond the standard ones when compliance is relaxed.
constexpr AVPixelFormat kMjpegFormats[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P,
                                           AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_NONE};
constexpr AVPixelFormat kLjpegFormats[] = {
    AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV420P,
    AV_PIX_FMT_YUV422P,  AV_PIX_FMT_YUV444P,  AV_PIX_FMT_BGRA,     AV_PIX_FMT_NONE};

const AVPixelFormat* AcceptedPixelFormats(const AVCodecContext* enc, const AVCodec* codec) {
    if (enc->strict_std_compliance < FF_COMPLIANCE_NORMAL) {
        if (codec->id == AV_CODEC_ID_MJPEG) return kMjpegFormats;
        if (codec->id == AV_CODEC_ID_LJPEG) return kLjpegFormats;
    }
    return codec->pix_fmts;
}

const char* PixelFormatName(AVPixelFormat format) {
    const char* name = libav::av_get_pix_fmt_name(format);
    return name ? name : "none";
}

bool IsExperimental(const AVCodec* codec) {
    return codec && (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL);
}

}  // namespace

void PickPixelFormat(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec) {
    AVCodecContext* enc = ost.EncoderContext;
    const AVPixelFormat* list = codec ? AcceptedPixelFormats(enc, codec) : nullptr;
    if (!list || *list == AV_PIX_FMT_NONE) return;
    const AVPixelFormat requested = enc->pix_fmt;
    const AVPixFmtDescriptor* desc = libav::av_pix_fmt_desc_get(requested);
    const int hasAlpha = desc && desc->nb_components % 2 == 0;
    AVPixelFormat best = AV_PIX_FMT_NONE;
    const AVPixelFormat* p = list;
    for (; *p != AV_PIX_FMT_NONE; p++) {
        best = requested == AV_PIX_FMT_NONE
                   ? (best == AV_PIX_FMT_NONE ? *p : best)
                   : libav::av_find_best_pix_fmt_of_2(best, *p, requested, hasAlpha, nullptr);
        if (*p == requested) break;
    }
    if (*p == requested) return;
    if (requested != AV_PIX_FMT_NONE)
        task.Log(llWarning,
                 StrFormat("Incompatible pixel format \"%s\" for codec \"%s\", auto-selecting "
                           "format \"%s\"",
                           PixelFormatName(requested), codec->name, PixelFormatName(best)));
    enc->pix_fmt = best;
}

void PickSampleFormat(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec) {
    AVCodecContext* enc = ost.EncoderContext;
    const AVSampleFormat* list = codec ? codec->sample_fmts : nullptr;
    if (!list || *list == AV_SAMPLE_FMT_NONE) return;
    const AVSampleFormat requested = enc->sample_fmt;
    for (const AVSampleFormat* p = list; *p != AV_SAMPLE_FMT_NONE; p++)
        if (*p == requested) return;
    // a lossless codec loses precision when its first format has fewer bits per sample
    if ((codec->capabilities & AV_CODEC_CAP_LOSSLESS) &&
        libav::av_get_bytes_per_sample(list[0]) < libav::av_get_bytes_per_sample(requested))
        task.Log(llError, "Conversion will not be lossless.");
    if (const char* name = libav::av_get_sample_fmt_name(requested))
        task.Log(llWarning,
                 StrFormat("Incompatible sample format \"%s\" for codec \"%s\", auto-selecting "
                           "format \"%s\"",
                           name, codec->name, libav::av_get_sample_fmt_name(list[0])));
    enc->sample_fmt = list[0];
}

void PickSampleRate(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec) {
    AVCodecContext* enc = ost.EncoderContext;
    const int* list = codec ? codec->supported_samplerates : nullptr;
    if (!list || *list == 0) return;
    int best = list[0];
    int bestDistance = std::abs(enc->sample_rate - best);
    for (const int* p = list + 1; *p; p++) {
        const int distance = std::abs(enc->sample_rate - *p);
        if (distance < bestDistance) {
            best = *p;
            bestDistance = distance;
        }
    }
    if (bestDistance != 0)
        task.Log(
            llWarning,
            StrFormat("Requested sampling rate unsupported using closest supported (%d)", best));
    enc->sample_rate = best;
}

int CheckExperimentalCodec(TCustomFFmpeg& task, AVCodecContext* context, const AVCodec* codec,
                           bool encoder, AVDictionary* options) {
    // the codec options set the compliance only when the codec opens: look ahead
    if (const AVDictionaryEntry* strict = libav::av_dict_get(options, "strict", nullptr, 0))
        libav::av_opt_set(context, "strict", strict->value, 0);
    if (!IsExperimental(codec) || context->strict_std_compliance <= FF_COMPLIANCE_EXPERIMENTAL)
        return 0;
    const char* kind = encoder ? "encoder" : "decoder";
    std::string message = StrFormat(
        "%s \"%s\" is experimental and might produce bad results.\r\n"
        "Add \"-strict experimental\" if you want to use it.",
        kind, codec->name);
    const AVCodec* usual =
        encoder ? libav::avcodec_find_encoder(codec->id) : libav::avcodec_find_decoder(codec->id);
    if (usual && !IsExperimental(usual))
        message += StrFormat("\r\nOr use the non experimental %s \"%s\"", kind, usual->name);
    return FailStepFatal(task, AVERROR_EXPERIMENTAL, message);
}

int CheckUnusedOptions(TCustomFFmpeg& task, AVDictionary* options) {
    const AVDictionaryEntry* e = libav::av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    if (!e) return 0;
    const std::string message = StrFormat("Option %s not found.", e->key);
    if (task.StrictOptions) return FailStepFatal(task, AVERROR_OPTION_NOT_FOUND, message);
    task.Log(llWarning, message);
    return 0;
}
