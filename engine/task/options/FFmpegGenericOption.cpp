// The catch-all option: names the engine does not know are handed to the libraries' codec,
// format and scaler option sets.
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
#include "engine/task/options/FFmpegOptionHandlers.h"

namespace {

constexpr int kSearchFlags = AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ;

const AVOption* FindCodecOption(const std::string& plainName) {
    const AVClass* cc = libav::avcodec_get_class();
    const AVOption* found = libav::av_opt_find(&cc, plainName.c_str(), nullptr, 0, kSearchFlags);
    const char first = plainName.empty() ? '\0' : plainName[0];
    if (!found && (first == 'a' || first == 's' || first == 'v'))
        found = libav::av_opt_find(&cc, plainName.c_str() + 1, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    return found;
}

void SetInDictionary(AVDictionary** dict, const AVOption* option, const std::string& name,
                     const std::string& arg) {
    const int flags = option->type == AV_OPT_TYPE_FLAGS ? AV_DICT_APPEND : 0;
    libav::av_dict_set(dict, name.c_str(), arg.c_str(), flags);
}

}  // namespace

int TCustomFFmpeg::SetGenericOption(const std::string& opt, const std::string& arg) {
    std::string plainName = opt.substr(0, opt.find(':'));
    if (plainName.size() > 127) plainName.resize(127);
    bool known = false;
    if (const AVOption* option = FindCodecOption(plainName)) {
        SetInDictionary(&CodecOpts, option, opt, arg);
        known = true;
    }
    const AVClass* fc = libav::avformat_get_class();
    if (const AVOption* option = libav::av_opt_find(&fc, opt.c_str(), nullptr, 0, kSearchFlags)) {
        SetInDictionary(&FormatOpts, option, opt, arg);
        known = true;
    }
    const AVClass* sc = libav::sws_get_class();
    if (libav::av_opt_find(&sc, opt.c_str(), nullptr, 0, kSearchFlags)) {
        const int ret = libav::av_opt_set(SwsOpts, opt.c_str(), arg.c_str(), 0);
        if (ret < 0) {
            LastParseError = StrFormat("Error setting option \"%s\"", opt.c_str());
            LogLibraryError(LastParseError);
            return ret;
        }
        known = true;
    }
    if (known) return 0;
    LastParseError = StrFormat("Unrecognized option \"%s\"", opt.c_str());
    LogLibraryError(LastParseError);
    return AVERROR_OPTION_NOT_FOUND;
}
