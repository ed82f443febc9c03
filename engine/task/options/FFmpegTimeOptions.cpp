// Options that take times in their own forms: -timestamp (a date) and the seconds options
// -TimeStart and -TimeLength (decimal seconds, applied as microseconds).
#include "engine/task/options/FFmpegOptionHandlers.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/options/FFmpegOptionValues.h"

namespace {

// "UTC" for a zone at UTC, else "UTC+hh:mm" or "UTC-hh:mm" for a zone ahead of or behind UTC.
std::string ZoneText(long offsetSeconds) {
    if (offsetSeconds == 0) return "UTC";
    const long minutes = std::labs(offsetSeconds) / 60;
    return StrFormat("UTC%c%.2ld:%.2ld", offsetSeconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

// Decimal seconds, handed on in microseconds to the option named `target`.
int SecondsOption(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                  const std::string& arg, const char* target) {
    double seconds = 0;
    try {
        seconds = ParseDoubleArgument(opt, arg);
    } catch (const FFmpegException& e) {
        return LogHandlerError(task, e.what());
    }
    // nearbyint rounds halves to even in the default rounding mode
    const double us = std::nearbyint(seconds * 1000000.0);
    const double limit = std::ldexp(1.0, 63);
    if (!(us >= -limit && us < limit))  // also false for NaN
        return LogHandlerError(task,
                               StrFormat("Time out of range for %s: %s", opt.c_str(), arg.c_str()));
    return task.ParseOption(o, target, std::to_string(static_cast<long long>(us)).c_str());
}

}  // namespace

int OptRecordingTimestamp(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                          const std::string& arg) {
    int64_t us = 0;
    if (libav::av_parse_time(&us, arg.c_str(), 0) < 0)
        throw FFmpegException(
            StrFormat("Invalid %s specification for %s: %s", "date", opt.c_str(), arg.c_str()));
    const std::time_t seconds = static_cast<std::time_t>(us / 1000000);
    std::tm local{};
    localtime_r(&seconds, &local);
    const std::string value =
        StrFormat("creation_time=%04d-%02d-%02d %02d:%02d:%02d %s", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  ZoneText(local.tm_gmtoff).c_str());
    const int ret = task.ParseOption(o, "metadata", value.c_str());
    if (ret < 0) return ret;
    task.Log(llWarning,
             StrFormat("%s is deprecated, set the \"creation_time\" metadata tag instead.",
                       opt.c_str()));
    return 0;
}

int OptTimeStart(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                 const std::string& arg) {
    return SecondsOption(task, o, opt, arg, "ss_microsecond");
}

int OptTimeLength(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                  const std::string& arg) {
    return SecondsOption(task, o, opt, arg, "t_microsecond");
}
