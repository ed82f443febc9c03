// Handlers of the option table: refused, ignored and deprecated options, codecs, and the options
// that set task variables through their own rules.
#include "engine/task/options/FFmpegOptionHandlers.h"

#include <strings.h>

#include <climits>
#include <ctime>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
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

int LogHandlerError(TCustomFFmpeg& task, const std::string& message, int code) {
    task.LastParseError = message;
    task.Log(llError, message);
    return code;
}

int OptNotSupported(TCustomFFmpeg& task, const std::string& opt, const std::string&) {
    return LogHandlerError(task, StrFormat("options \"%s\" not supported", opt.c_str()));
}

int OptIgnored(TCustomFFmpeg& task, const std::string& opt, const std::string&) {
    task.Log(llWarning, StrFormat("options \"%s\" not supported, ignore", opt.c_str()));
    return 0;
}

int OptAccepted(TCustomFFmpeg&, const std::string&, const std::string&) { return 0; }

int OptCropRemoved(TCustomFFmpeg& task, const std::string& opt, const std::string&) {
    return LogHandlerError(
        task,
        StrFormat("Option \"%s\" has been removed, use the crop filter instead", opt.c_str()));
}

int OptPadRemoved(TCustomFFmpeg& task, const std::string& opt, const std::string&) {
    return LogHandlerError(
        task, StrFormat("Option \"%s\" has been removed, use the pad filter instead", opt.c_str()));
}

int OptVideoChannel(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    task.Log(llWarning, "This option is deprecated, use -channel.");
    return task.SetGenericOption("channel", arg);
}

int OptVideoStandard(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    task.Log(llWarning, "This option is deprecated, use -standard.");
    return task.SetGenericOption("standard", arg);
}

// -vcodec, -acodec, -scodec: the codec of the next output's streams of that type, and the
// decoder forced on the next inputs.
int OptVideoCodec(TCustomFFmpeg& task, TOptionsContext& o, const std::string&,
                  const std::string& arg) {
    task.VideoCodecName = arg;
    return task.ParseOption(o, "codec:v", arg.c_str());
}

int OptAudioCodec(TCustomFFmpeg& task, TOptionsContext& o, const std::string&,
                  const std::string& arg) {
    task.AudioCodecName = arg;
    return task.ParseOption(o, "codec:a", arg.c_str());
}

int OptSubtitleCodec(TCustomFFmpeg& task, TOptionsContext& o, const std::string&,
                     const std::string& arg) {
    task.SubtitleCodecName = arg;
    return task.ParseOption(o, "codec:s", arg.c_str());
}

int OptBitrate(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
               const std::string& arg) {
    if (opt == "b") {
        task.Log(llWarning, "Please use -b:a or -b:v, -b is ambiguous");
        return task.ParseOption(o, "b:v", arg.c_str());
    }
    return task.SetGenericOption(opt, arg);
}

int OptQScale(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
              const std::string& arg) {
    if (opt == "qscale") {
        task.Log(llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
        return task.ParseOption(o, "q:v", arg.c_str());
    }
    return task.ParseOption(o, "q" + opt.substr(6), arg.c_str());
}

int OptPass(TCustomFFmpeg& task, const std::string& opt, const std::string& arg) {
    int pass = 0;
    try {
        pass = ParseIntArgument(opt, arg);
    } catch (const FFmpegException& e) {
        return LogHandlerError(task, e.what());
    }
    if (pass < 1 || pass > 3) return LogHandlerError(task, NotWithin(opt.c_str(), arg, 1, 3));
    task.DoPass = pass;
    return 0;
}

// The prefix is the engine's; the libraries get it too when one of them has such an option.
int OptPassLogFile(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    task.PassLogFilePrefix = arg;
    const AVClass* cc = libav::avcodec_get_class();
    if (!libav::av_opt_find(&cc, "passlogfile", nullptr, 0,
                            AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ))
        return 0;
    return task.SetGenericOption("passlogfile", arg);
}

int OptVSync(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    if (strcasecmp(arg.c_str(), "cfr") == 0)
        task.VideoSyncMethod = 1;
    else if (strcasecmp(arg.c_str(), "vfr") == 0)
        task.VideoSyncMethod = 2;
    else if (strcasecmp(arg.c_str(), "passthrough") == 0)
        task.VideoSyncMethod = 0;
    if (task.VideoSyncMethod != -1) return 0;
    int method = 0;
    if (!TryParseInt(arg, method) || method < -1 || method > 2)
        return LogHandlerError(task, NotWithin("vsync", arg, -1, 2));
    task.VideoSyncMethod = method;
    return 0;
}

int OptStreamId(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                const std::string& arg) {
    const size_t colon = arg.find(':');
    int index = 0;
    int value = 0;
    if (colon == std::string::npos || !TryParseInt(arg.substr(0, colon), index) ||
        !TryParseInt(arg.substr(colon + 1), value))
        return LogHandlerError(
            task,
            StrFormat("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                      arg.c_str(), opt.c_str()));
    if (index < 0 || index > 1023)
        return LogHandlerError(task, NotWithin("streamid", arg.substr(0, colon), 0, 1023));
    if (value < 0)
        return LogHandlerError(task, NotWithin("streamid", arg.substr(colon + 1), 0, INT_MAX));
    GrowArray(o.StreamIdMap, index + 1);
    o.StreamIdMap[index] = value;
    return 0;
}

int OptAttach(TCustomFFmpeg&, TOptionsContext& o, const std::string&, const std::string& arg) {
    GrowArray(o.Attachments, static_cast<int>(o.Attachments.size()) + 1);
    o.Attachments.back() = arg;
    return 0;
}

int OptVideoHookBitsPixel(TCustomFFmpeg& task, const std::string& opt, const std::string& arg) {
    try {
        task.VideoHookBitsPixel = ParseIntArgument(opt, arg);
    } catch (const FFmpegException& e) {
        return LogHandlerError(task, e.what());
    }
    return 0;
}

int OptVStatsFile(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    task.VStatsFileName = arg;
    return 0;
}

int OptVStats(TCustomFFmpeg& task, const std::string&, const std::string&) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return OptVStatsFile(
        task, "vstats_file",
        StrFormat("vstats_%02d%02d%02d.log", local.tm_hour, local.tm_min, local.tm_sec));
}

int OptLogLevel(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
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
        return LogHandlerError(task, message);
    }
    libav::av_log_set_level(level);
    return 0;
}

int OptCodecDebug(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    libav::av_log_set_level(AV_LOG_DEBUG);
    return task.SetGenericOption("debug", arg);
}

int OptMaxAlloc(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    int64_t size = 0;
    if (!TryParseInt64(arg, size) || size < 0) {
        task.LastParseError = StrFormat("Invalid max_alloc \"%s\".", arg.c_str());
        task.Log(llFatal, task.LastParseError);
        return kErrorInvalidArgument;
    }
    libav::av_max_alloc(static_cast<size_t>(size));
    return 0;
}

int OptDefault(TCustomFFmpeg& task, const std::string& opt, const std::string& arg) {
    return task.SetGenericOption(opt, arg);
}

// The module file and its arguments, split at "|" when the text has one, else at blanks.
int OptVideoHook(TCustomFFmpeg& task, const std::string&, const std::string& arg) {
    const char separator = arg.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= arg.size() && words.size() < 254) {
        size_t end = arg.find(separator, start);
        if (end == std::string::npos) end = arg.size();
        if (end > start) words.push_back(arg.substr(start, end - start));
        start = end + 1;
    }
    if (AddFrameHook(task.FrameHooks, words) != 0)
        task.FatalError("Failed to add video hook function: " + arg);
    task.UseFrameHook = true;
    return 0;
}
