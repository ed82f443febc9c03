// Codec lookup by name and the codec options that apply to one stream.
#include <cstring>

#include "engine/task/open/FFmpegOpenSteps.h"

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"

const AVCodec* FindCodecByName(TCustomFFmpeg& task, const std::string& name, AVMediaType type,
                               bool encoder) {
    const char* kind = encoder ? "encoder" : "decoder";
    const AVCodec* codec = encoder ? libav::avcodec_find_encoder_by_name(name.c_str())
                                   : libav::avcodec_find_decoder_by_name(name.c_str());
    if (!codec) task.FatalError(StrFormat("Unknown %s '%s'", kind, name.c_str()));
    if (codec->type != type) task.FatalError(StrFormat("Invalid %s type '%s'", kind, name.c_str()));
    return codec;
}

namespace {

bool CodecKnows(const AVCodec* codec, const char* key, int flags) {
    const AVClass* cc = libav::avcodec_get_class();
    if (libav::av_opt_find(&cc, key, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ)) return true;
    const AVClass* privateClass = codec->priv_class;
    return privateClass &&
           libav::av_opt_find(&privateClass, key, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ);
}

}  // namespace

AVDictionary* FilterCodecOpts(AVDictionary* opts, const AVCodec* codec, AVFormatContext* s,
                              AVStream* st) {
    if (!codec) return nullptr;
    int flags = s->oformat ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
    char prefix = 0;
    switch (st->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            prefix = 'v';
            flags |= AV_OPT_FLAG_VIDEO_PARAM;
            break;
        case AVMEDIA_TYPE_AUDIO:
            prefix = 'a';
            flags |= AV_OPT_FLAG_AUDIO_PARAM;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            prefix = 's';
            flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
            break;
        default:
            break;
    }
    AVDictionary* result = nullptr;
    const AVDictionaryEntry* t = nullptr;
    while ((t = libav::av_dict_get(opts, "", t, AV_DICT_IGNORE_SUFFIX))) {
        std::string key = t->key;
        const size_t colon = key.find(':');
        if (colon != std::string::npos) {
            const int match = check_stream_specifier(s, st, key.substr(colon + 1));
            if (match < 0) {
                libav::av_dict_free(&result);
                return nullptr;
            }
            if (match == 0) continue;
            key.resize(colon);
        }
        if (CodecKnows(codec, key.c_str(), flags))
            libav::av_dict_set(&result, key.c_str(), t->value, 0);
        else if (prefix && key[0] == prefix && CodecKnows(codec, key.c_str() + 1, flags))
            libav::av_dict_set(&result, key.c_str() + 1, t->value, 0);
    }
    return result;
}
