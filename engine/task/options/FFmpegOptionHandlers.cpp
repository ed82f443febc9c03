// Handlers of the option table: refused and ignored options, aliases, and the options that
// set task variables through their own rules.
#include <strings.h>
#include <cctype>
#include <ctime>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/options/FFmpegOptionValues.h"

namespace {

struct TLogLevelName {
    const char* Name;
    int Level;
};

constexpr TLogLevelName kLogLevels[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},
};

std::string NotWithin(const char* name, const std::string& value, int min, int max) {
    return StrFormat("The value for \"%s\" was \"%s\" which is not within %d - %d", name,
                     value.c_str(), min, max);
}

}  // namespace

int TCustomFFmpeg::LogHandlerError(const std::string& message, int code) {
    LastParseError = message;
    Log(llError, message);
    return code;
}

int TCustomFFmpeg::OptNotSupported(const std::string& opt, const std::string&) {
    return LogHandlerError(StrFormat("options \"%s\" not supported", opt.c_str()));
}

int TCustomFFmpeg::OptIgnored(const std::string& opt, const std::string&) {
    Log(llWarning, StrFormat("options \"%s\" not supported, ignore", opt.c_str()));
    return 0;
}

int TCustomFFmpeg::OptAccepted(const std::string&, const std::string&) { return 0; }

int TCustomFFmpeg::OptCropRemoved(const std::string& opt, const std::string&) {
    return LogHandlerError(
        StrFormat("Option \"%s\" has been removed, use the crop filter instead", opt.c_str()));
}

int TCustomFFmpeg::OptPadRemoved(const std::string& opt, const std::string&) {
    return LogHandlerError(
        StrFormat("Option \"%s\" has been removed, use the pad filter instead", opt.c_str()));
}

int TCustomFFmpeg::OptVideoChannel(const std::string&, const std::string& arg) {
    Log(llWarning, "This option is deprecated, use -channel.");
    return SetGenericOption("channel", arg);
}

int TCustomFFmpeg::OptVideoStandard(const std::string&, const std::string& arg) {
    Log(llWarning, "This option is deprecated, use -standard.");
    return SetGenericOption("standard", arg);
}

int TCustomFFmpeg::OptVideoCodec(TOptionsContext& o, const std::string&, const std::string& arg) {
    VideoCodecName = arg;
    return ParseOption(o, "codec:v", arg.c_str());
}

int TCustomFFmpeg::OptAudioCodec(TOptionsContext& o, const std::string&, const std::string& arg) {
    AudioCodecName = arg;
    return ParseOption(o, "codec:a", arg.c_str());
}

int TCustomFFmpeg::OptSubtitleCodec(TOptionsContext& o, const std::string&,
                                    const std::string& arg) {
    SubtitleCodecName = arg;
    return ParseOption(o, "codec:s", arg.c_str());
}

int TCustomFFmpeg::OptDataCodec(TOptionsContext& o, const std::string&, const std::string& arg) {
    return ParseOption(o, "codec:d", arg.c_str());
}

int TCustomFFmpeg::OptVideoFrames(TOptionsContext& o, const std::string&, const std::string& arg) {
    return ParseOption(o, "frames:v", arg.c_str());
}

int TCustomFFmpeg::OptAudioFrames(TOptionsContext& o, const std::string&, const std::string& arg) {
    return ParseOption(o, "frames:a", arg.c_str());
}

int TCustomFFmpeg::OptDataFrames(TOptionsContext& o, const std::string&, const std::string& arg) {
    return ParseOption(o, "frames:d", arg.c_str());
}

int TCustomFFmpeg::OptVideoFilters(TOptionsContext& o, const std::string&, const std::string& arg) {
    return ParseOption(o, "filter:v", arg.c_str());
}

int TCustomFFmpeg::OptAudioQScale(TOptionsContext& o, const std::string&, const std::string& arg) {
    return ParseOption(o, "q:a", arg.c_str());
}

// -vtag, -atag, -stag, -absf, -vbsf: the name without its first letter, for the stream type of
// that letter (-vtag is tag:v, -absf is bsf:a).
int TCustomFFmpeg::OptOldToNew(TOptionsContext& o, const std::string& opt, const std::string& arg) {
    const std::string name = opt.substr(0, opt.find(':'));
    return ParseOption(o, name.substr(1) + ":" + name[0], arg.c_str());
}

int TCustomFFmpeg::OptBitrate(TOptionsContext& o, const std::string& opt, const std::string& arg) {
    if (opt == "b") {
        Log(llWarning, "Please use -b:a or -b:v, -b is ambiguous");
        return ParseOption(o, "b:v", arg.c_str());
    }
    return SetGenericOption(opt, arg);
}

int TCustomFFmpeg::OptQScale(TOptionsContext& o, const std::string& opt, const std::string& arg) {
    if (opt == "qscale") {
        Log(llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
        return ParseOption(o, "q:v", arg.c_str());
    }
    return ParseOption(o, "q" + opt.substr(6), arg.c_str());
}

int TCustomFFmpeg::OptPass(const std::string& opt, const std::string& arg) {
    int pass = 0;
    try {
        pass = ParseIntArgument(opt, arg);
    } catch (const FFmpegException& e) {
        return LogHandlerError(e.what());
    }
    if (pass < 1 || pass > 3) return LogHandlerError(NotWithin(opt.c_str(), arg, 1, 3));
    DoPass = pass;
    return 0;
}

// The prefix is the engine's; the libraries get it too when one of them has such an option.
int TCustomFFmpeg::OptPassLogFile(const std::string&, const std::string& arg) {
    PassLogFilePrefix = arg;
    const AVClass* cc = libav::avcodec_get_class();
    if (!libav::av_opt_find(&cc, "passlogfile", nullptr, 0,
                            AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ))
        return 0;
    return SetGenericOption("passlogfile", arg);
}

int TCustomFFmpeg::OptVSync(const std::string&, const std::string& arg) {
    if (strcasecmp(arg.c_str(), "cfr") == 0)
        VideoSyncMethod = 1;
    else if (strcasecmp(arg.c_str(), "vfr") == 0)
        VideoSyncMethod = 2;
    else if (strcasecmp(arg.c_str(), "passthrough") == 0)
        VideoSyncMethod = 0;
    if (VideoSyncMethod != -1) return 0;
    int method = 0;
    if (!TryParseInt(arg, method) || method < -1 || method > 2)
        return LogHandlerError(NotWithin("vsync", arg, -1, 2));
    VideoSyncMethod = method;
    return 0;
}

int TCustomFFmpeg::OptStreamId(TOptionsContext& o, const std::string& opt, const std::string& arg) {
    const size_t colon = arg.find(':');
    int index = 0;
    int value = 0;
    if (colon == std::string::npos || !TryParseInt(arg.substr(0, colon), index) ||
        !TryParseInt(arg.substr(colon + 1), value))
        return LogHandlerError(
            StrFormat("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                      arg.c_str(), opt.c_str()));
    if (index < 0 || index > 1023)
        return LogHandlerError(NotWithin("streamid", arg.substr(0, colon), 0, 1023));
    if (value < 0) return LogHandlerError(NotWithin("streamid", arg.substr(colon + 1), 0, INT_MAX));
    GrowArray(o.StreamIdMap, index + 1);
    o.StreamIdMap[index] = value;
    return 0;
}

int TCustomFFmpeg::OptAttach(TOptionsContext& o, const std::string&, const std::string& arg) {
    GrowArray(o.Attachments, static_cast<int>(o.Attachments.size()) + 1);
    o.Attachments.back() = arg;
    return 0;
}

int TCustomFFmpeg::OptVideoHookBitsPixel(const std::string& opt, const std::string& arg) {
    try {
        VideoHookBitsPixel = ParseIntArgument(opt, arg);
    } catch (const FFmpegException& e) {
        return LogHandlerError(e.what());
    }
    return 0;
}

int TCustomFFmpeg::OptVStatsFile(const std::string&, const std::string& arg) {
    VStatsFileName = arg;
    return 0;
}

int TCustomFFmpeg::OptVStats(const std::string&, const std::string&) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return OptVStatsFile("vstats_file", StrFormat("vstats_%02d%02d%02d.log", local.tm_hour,
                                                  local.tm_min, local.tm_sec));
}

int TCustomFFmpeg::OptLogLevel(const std::string&, const std::string& arg) {
    int level = 0;
    bool found = false;
    for (const TLogLevelName& entry : kLogLevels) {
        if (arg == entry.Name) {
            level = entry.Level;
            found = true;
        }
    }
    if (!found && !TryParseInt(arg, level)) {
        std::string message =
            StrFormat("Invalid loglevel \"%s\". Possible levels are numbers or:", arg.c_str());
        for (const TLogLevelName& entry : kLogLevels)
            message += StrFormat("\r\n\"%s\"", entry.Name);
        return LogHandlerError(message);
    }
    libav::av_log_set_level(level);
    return 0;
}

int TCustomFFmpeg::OptCodecDebug(const std::string&, const std::string& arg) {
    libav::av_log_set_level(AV_LOG_DEBUG);
    return SetGenericOption("debug", arg);
}

int TCustomFFmpeg::OptMaxAlloc(const std::string&, const std::string& arg) {
    int64_t size = 0;
    if (!TryParseInt64(arg, size) || size < 0) {
        LastParseError = StrFormat("Invalid max_alloc \"%s\".", arg.c_str());
        Log(llFatal, LastParseError);
        return kErrorInvalidArgument;
    }
    libav::av_max_alloc(static_cast<size_t>(size));
    return 0;
}

int TCustomFFmpeg::OptDefault(const std::string& opt, const std::string& arg) {
    return SetGenericOption(opt, arg);
}

// The module file and its arguments, split at "|" when the text has one, else at blanks.
int TCustomFFmpeg::OptVideoHook(const std::string&, const std::string& arg) {
    const char separator = arg.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= arg.size() && words.size() < 254) {
        size_t end = arg.find(separator, start);
        if (end == std::string::npos) end = arg.size();
        if (end > start) words.push_back(arg.substr(start, end - start));
        start = end + 1;
    }
    if (AddFrameHook(FrameHooks, words) != 0)
        FatalError("Failed to add video hook function: " + arg);
    UseFrameHook = true;
    return 0;
}
