// Output streams: one record per stream of an output, with the per-stream settings of the
// option context applied to its encoder context.
#include <cstdlib>
#include <cstring>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/open/FFmpegOpenSteps.h"
#include "engine/task/options/FFmpegOptionValues.h"

namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// 64 comma-separated coefficients.
void ParseMatrix(TCustomFFmpeg& task, uint16_t* dest, const std::string& text) {
    const char* p = text.c_str();
    for (int i = 0;; i++) {
        dest[i] = static_cast<uint16_t>(std::atoi(p));
        if (i == 63) break;
        p = std::strchr(p, ',');
        if (!p)
            task.FatalError(
                StrFormat("Syntax error in matrix \"%s\" at coeff %d", text.c_str(), i));
        p++;
    }
}

uint16_t* NewMatrix(TCustomFFmpeg& task, const std::string& text, const char* which) {
    auto* matrix = static_cast<uint16_t*>(libav::av_mallocz(sizeof(uint16_t) * 64));
    if (!matrix) task.FatalError(StrFormat("Could not allocate memory for %s matrix.", which));
    try {
        ParseMatrix(task, matrix, text);
    } catch (...) {
        libav::av_free(matrix);
        throw;
    }
    return matrix;
}

// "4:3" (both terms positive) or a plain number; 0 when neither.
double ParseAspectRatio(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return std::strtod(text.c_str(), nullptr);
    char* end = nullptr;
    const double x = static_cast<double>(std::strtol(text.c_str(), &end, 10));
    if (end != text.c_str() + colon) return 0;
    const double y = static_cast<double>(std::strtol(end + 1, &end, 10));
    return x > 0 && y > 0 ? x / y : 0;
}

// Triples "start,end,q" separated by "/": a positive q is a quantizer, else -q is a quality
// factor in percent.
void ParseRcOverrides(TCustomFFmpeg& task, AVCodecContext* ctx, const std::string& text) {
    const char* p = text.c_str();
    int count = 0;
    for (; p; count++) {
        int start = 0, end = 0, q = 0;
        if (std::sscanf(p, "%d,%d,%d", &start, &end, &q) != 3)
            task.FatalError("error parsing rc_override");
        void* grown = libav::av_realloc(ctx->rc_override, sizeof(RcOverride) * (count + 1));
        if (!grown) task.FatalError("error parsing rc_override");
        ctx->rc_override = static_cast<RcOverride*>(grown);
        ctx->rc_override_count = count + 1;
        RcOverride& entry = ctx->rc_override[count];
        entry.start_frame = start;
        entry.end_frame = end;
        entry.qscale = q > 0 ? q : 0;
        entry.quality_factor = q > 0 ? 1.0f : -q / 100.0f;
        p = std::strchr(p, '/');
        if (p) p++;
    }
}

// "copy" makes a stream copy; another name is the encoder; without one the muxer's choice.
void ChooseEncoder(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                   TOutputStream& ost) {
    AVStream* st = ost.St;
    const AVMediaType type = st->codecpar->codec_type;
    if (const std::string* name = MatchPerStreamOpt(task, o.CodecNames, oc, st)) {
        if (*name == "copy") {
            ost.StreamCopy = true;
        } else {
            ost.Enc = FindCodecByName(task, *name, type, true);
            st->codecpar->codec_id = ost.Enc->id;
        }
    } else {
        st->codecpar->codec_id =
            libav::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
        ost.Enc = libav::avcodec_find_encoder(st->codecpar->codec_id);
    }
    if (ost.Enc) ost.Opts = FilterCodecOpts(task.CodecOpts, ost.Enc, oc, st);
}

int NewOutputStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, AVMediaType type,
                    int sourceIndex) {
    AVStream* st = libav::avformat_new_stream(oc, nullptr);
    if (!st) task.FatalError("Could not alloc stream.");
    if (st->index < static_cast<int>(o.StreamIdMap.size())) st->id = o.StreamIdMap[st->index];
    st->codecpar->codec_type = type;

    const int index = static_cast<int>(task.OutputStreams.size());
    GrowArray(task.OutputStreams, index + 1);
    TOutputStream& ost = task.OutputStreams[index];
    ost.FileIndex = static_cast<int>(task.OutputFiles.size());
    ost.Index = st->index;
    ost.St = st;
    ost.SourceIndex = sourceIndex;
    ost.LastPts = ost.LastDts = AV_NOPTS_VALUE;

    ChooseEncoder(task, o, oc, ost);
    ost.EncoderContext = libav::avcodec_alloc_context3(ost.Enc);
    if (!ost.EncoderContext) task.FatalError("Could not alloc stream.");
    AVCodecContext* ctx = ost.EncoderContext;
    ctx->codec_type = type;
    ctx->codec_id = st->codecpar->codec_id;

    if (const int64_t* frames = MatchPerStreamOpt(task, o.MaxFrames, oc, st))
        ost.MaxFrames = *frames;
    if (const std::string* filters = MatchPerStreamOpt(task, o.BitstreamFilters, oc, st)) {
        for (const std::string& name : SplitAt(*filters, ',')) {
            const AVBitStreamFilter* filter = libav::av_bsf_get_by_name(name.c_str());
            AVBSFContext* bsf = nullptr;
            if (!filter || libav::av_bsf_alloc(filter, &bsf) < 0)
                task.FatalError(StrFormat("Unknown bitstream filter \"%s\"", name.c_str()));
            ost.BitstreamFilters.push_back(bsf);
        }
    }
    if (const std::string* tag = MatchPerStreamOpt(task, o.CodecTags, oc, st))
        st->codecpar->codec_tag = ctx->codec_tag = ParseCodecTag(*tag);
    const double* q = MatchPerStreamOpt(task, o.QScales, oc, st);
    const double qscale = q ? *q : -1.0;
    if (qscale >= 0 || task.SameQuant) {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = static_cast<int>(FF_QP2LAMBDA * qscale);
    }
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    libav::av_opt_get_int(task.SwsOpts, "sws_flags", 0, &ost.SwsFlags);
    return index;
}

void ApplyVideoSettings(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                        TOutputStream& ost) {
    AVStream* st = ost.St;
    AVCodecContext* ctx = ost.EncoderContext;
    if (const std::string* rate = MatchPerStreamOpt(task, o.FrameRates, oc, st))
        if (libav::av_parse_video_rate(&ost.FrameRate, rate->c_str()) < 0)
            task.FatalError(StrFormat("Invalid framerate value: %s", rate->c_str()));
    if (const std::string* size = MatchPerStreamOpt(task, o.FrameSizes, oc, st))
        if (libav::av_parse_video_size(&ctx->width, &ctx->height, size->c_str()) < 0)
            task.FatalError(StrFormat("Invalid frame size: %s.", size->c_str()));
    if (const std::string* aspect = MatchPerStreamOpt(task, o.FrameAspectRatios, oc, st)) {
        ost.FrameAspectRatio = ParseAspectRatio(*aspect);
        if (!(ost.FrameAspectRatio > 0)) task.FatalError("Incorrect aspect ratio specification.");
    }
    ctx->bits_per_raw_sample = task.BitsPerRawSample;
    if (const std::string* format = MatchPerStreamOpt(task, o.FramePixFmts, oc, st)) {
        ctx->pix_fmt = libav::av_get_pix_fmt(format->c_str());
        if (ctx->pix_fmt == AV_PIX_FMT_NONE)
            task.FatalError(StrFormat("Unknown pixel format requested: %s.", format->c_str()));
    }
    st->sample_aspect_ratio = ctx->sample_aspect_ratio;
    if (task.IntraOnly) ctx->gop_size = 0;
    if (const std::string* matrix = MatchPerStreamOpt(task, o.IntraMatrices, oc, st))
        ctx->intra_matrix = NewMatrix(task, *matrix, "intra");
    if (const std::string* matrix = MatchPerStreamOpt(task, o.InterMatrices, oc, st))
        ctx->inter_matrix = NewMatrix(task, *matrix, "inter");
    if (const std::string* overrides = MatchPerStreamOpt(task, o.RcOverrides, oc, st))
        ParseRcOverrides(task, ctx, *overrides);
    if (!ctx->rc_initial_buffer_occupancy)
        ctx->rc_initial_buffer_occupancy = ctx->rc_buffer_size * 3 / 4;
    ctx->intra_dc_precision = task.IntraDcPrecision - 8;
    if (task.DoPsnr) ctx->flags |= AV_CODEC_FLAG_PSNR;
    if (task.DoPass & 1) ctx->flags |= AV_CODEC_FLAG_PASS1;
    if (task.DoPass & 2) ctx->flags |= AV_CODEC_FLAG_PASS2;
    if (const std::string* times = MatchPerStreamOpt(task, o.ForcedKeyFrames, oc, st)) {
        const std::vector<std::string> parts = SplitAt(*times, ',');
        try {
            ost.ForcedKfPts.resize(parts.size());
        } catch (const std::bad_alloc&) {
            task.FatalError("Could not allocate forced key frames array.");
        }
        for (size_t i = 0; i < parts.size(); i++)
            ost.ForcedKfPts[i] = ParseDurationArgument("force_key_frames", parts[i]);
    }
    if (const int* force = MatchPerStreamOpt(task, o.ForceFps, oc, st)) ost.ForceFps = *force;
    ost.TopFieldFirst = -1;
    if (const int* top = MatchPerStreamOpt(task, o.TopFieldFirst, oc, st)) ost.TopFieldFirst = *top;
    if (const std::string* filters = MatchPerStreamOpt(task, o.Filters, oc, st))
        ost.AvFilter = *filters;
}

// Every -map_channel entry for this stream's source (or a muted channel) and this output
// stream adds its channel to the stream's channel map.
void ApplyAudioChannelMaps(TCustomFFmpeg& task, TOptionsContext& o, TOutputStream& ost) {
    const TInputStream* ist = ost.SourceIndex >= 0 ? &task.InputStreams[ost.SourceIndex] : nullptr;
    for (const TAudioChannelMap& map : o.AudioChannelMaps) {
        const bool fromSource =
            ist && ist->FileIndex == map.FileIndex && ist->St->index == map.StreamIndex;
        if (map.ChannelIndex != -1 && !fromSource) continue;
        if (map.OutFileIndex != -1 && map.OutFileIndex != ost.FileIndex) continue;
        if (map.OutStreamIndex != -1 && map.OutStreamIndex != ost.St->index) continue;
        if (ost.AudioChannelsMapped >= kMaxAudioChannelMap)
            task.FatalError(StrFormat("Max channel mapping for output %d.%d reached", ost.FileIndex,
                                      ost.St->index));
        ost.AudioChannelsMap[ost.AudioChannelsMapped++] = map.ChannelIndex;
    }
}

int NewDataStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, int sourceIndex) {
    const int index = NewOutputStream(task, o, oc, AVMEDIA_TYPE_DATA, sourceIndex);
    if (!task.OutputStreams[index].StreamCopy)
        task.FatalError("Data stream encoding not supported yet (only streamcopy)");
    return index;
}

}  // namespace

int NewVideoStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, int sourceIndex) {
    const int index = NewOutputStream(task, o, oc, AVMEDIA_TYPE_VIDEO, sourceIndex);
    TOutputStream& ost = task.OutputStreams[index];
    if (ost.StreamCopy) {
        if (const int* copy = MatchPerStreamOpt(task, o.CopyInitialNonkeyframes, oc, ost.St))
            ost.CopyInitialNonkeyframes = *copy;
        return index;
    }
    ApplyVideoSettings(task, o, oc, ost);
    return index;
}

int NewAudioStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, int sourceIndex) {
    const int index = NewOutputStream(task, o, oc, AVMEDIA_TYPE_AUDIO, sourceIndex);
    TOutputStream& ost = task.OutputStreams[index];
    AVStream* st = ost.St;
    AVCodecContext* ctx = ost.EncoderContext;
    if (!ost.StreamCopy) {
        if (const int* channels = MatchPerStreamOpt(task, o.AudioChannels, oc, st)) {
            ctx->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
            ctx->ch_layout.nb_channels = *channels;
        }
        if (const std::string* format = MatchPerStreamOpt(task, o.SampleFmts, oc, st)) {
            ctx->sample_fmt = libav::av_get_sample_fmt(format->c_str());
            if (ctx->sample_fmt == AV_SAMPLE_FMT_NONE)
                task.FatalError(StrFormat("Invalid sample format \"%s\"", format->c_str()));
        }
        if (const int* rate = MatchPerStreamOpt(task, o.AudioSampleRates, oc, st))
            ctx->sample_rate = *rate;
        ost.RematrixVolume = 1.0f;
        if (const float* volume = MatchPerStreamOpt(task, o.RematrixVolumes, oc, st))
            ost.RematrixVolume = *volume;
    }
    ApplyAudioChannelMaps(task, o, ost);
    return index;
}

int NewSubtitleStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                      int sourceIndex) {
    const int index = NewOutputStream(task, o, oc, AVMEDIA_TYPE_SUBTITLE, sourceIndex);
    task.OutputStreams[index].EncoderContext->codec_type = AVMEDIA_TYPE_SUBTITLE;
    return index;
}

int NewAttachmentStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc) {
    const int index = NewOutputStream(task, o, oc, AVMEDIA_TYPE_ATTACHMENT, -1);
    task.OutputStreams[index].StreamCopy = true;
    return index;
}

int NewStreamOfType(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, AVMediaType type,
                    int sourceIndex) {
    switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            return NewVideoStream(task, o, oc, sourceIndex);
        case AVMEDIA_TYPE_AUDIO:
            return NewAudioStream(task, o, oc, sourceIndex);
        case AVMEDIA_TYPE_SUBTITLE:
            return NewSubtitleStream(task, o, oc, sourceIndex);
        case AVMEDIA_TYPE_DATA:
            return NewDataStream(task, o, oc, sourceIndex);
        case AVMEDIA_TYPE_ATTACHMENT: {
            const int index = NewAttachmentStream(task, o, oc);
            task.OutputStreams[index].SourceIndex = sourceIndex;
            return index;
        }
        default:
            return -1;
    }
}
