#include "cli/ConvertMode.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/core/OutputName.h"
#include "cli/ClipConverter.h"
#include "cli/Console.h"
#include "cli/InterruptWatch.h"
#include "engine/log/FFLog.h"

namespace {

constexpr int kExitFailed = 1;

// -v: the engine's lines as the desktop program's log shows them, "#" thread id "." level ": "
// message, written by the thread that logs.
void ShowEngineLog(TConsole& console) {
    TFFLogger& logger = FFLogger();
    logger.OnLog = [&console](const void*, uint32_t threadId, TLogLevel level,
                              const std::string& message) {
        // A message may end in a line break of its own; the console ends every line itself.
        const size_t end = message.find_last_not_of("\r\n");
        console.Line("#" + std::to_string(threadId) + "." +
                     std::to_string(static_cast<int>(level)) + ": " +
                     message.substr(0, end == std::string::npos ? 0 : end + 1));
    };
}

void HideEngineLog() {
    TFFLogger& logger = FFLogger();
    logger.OnLog = nullptr;
    // Nothing shows the lines: the libraries need not format them.
    logger.SetLogLevel(llError);
}

// "Saved NAME (N frames, WxH, B bytes)", and what was chosen to fit a size limit.
void ReportSaved(TConsole& console, const TConversionOutcome& outcome) {
    console.ClearBar();
    std::printf("Saved %s (%d frames, %dx%d, %lld bytes)%s%s\n", outcome.SavedFile.c_str(),
                outcome.Frames, outcome.Width, outcome.Height,
                static_cast<long long>(outcome.Bytes), outcome.Fit.empty() ? "" : ", ",
                outcome.Fit.c_str());
    std::fflush(stdout);
}

// "NAME: about 4.2 MB (640x480, 25 fps, quality 90)": printed even when quiet, being what was
// asked for.
void ReportEstimate(TConsole& console, const std::string& file, const TConversionOutcome& outcome) {
    console.ClearBar();
    std::printf("%s: %s\n", file.c_str(), outcome.Fit.c_str());
    std::fflush(stdout);
}

// Each file in turn; Ctrl-C ends the run after the file it stopped.
int ConvertAll(TClipConverter& converter, const TConvertSettings& settings, TConsole& console,
               const TInterruptWatch& interrupt) {
    int status = 0;
    for (const std::string& file : settings.Files) {
        const TConversionOutcome outcome = converter.Convert(file);
        if (settings.EstimateOnly && outcome.Error.empty()) ReportEstimate(console, file, outcome);
        if (!outcome.SavedFile.empty() && !settings.Quiet) ReportSaved(console, outcome);
        if (!outcome.Lost.empty()) {
            // saved, but not all of the clip: a failure all the same
            console.Line("Saved " + outcome.SavedFile + " (" + outcome.Lost + ")");
            status = kExitFailed;
        }
        if (!outcome.Error.empty()) {
            console.Line(outcome.Error);
            status = kExitFailed;
        }
        if (outcome.Interrupted || interrupt.Raised()) return TInterruptWatch::kInterruptedStatus;
    }
    return status;
}

}  // namespace

int RunConvertMode(const TConvertSettings& settings) {
    TConsole console(!settings.Quiet && ::isatty(STDERR_FILENO));
    if (!settings.Output.empty() && NameExists(settings.Output)) {
        console.Line(settings.Output + ": File exists (it is never replaced)");
        return kExitFailed;
    }
    TInterruptWatch interrupt;
    // Lines are handled on the thread that logs them: no worker ever waits for the main thread
    // to take a log line, whatever the main thread is doing.
    FFLogger().SetTriggerEventInMainThread(false);
    if (settings.Verbose)
        ShowEngineLog(console);
    else
        HideEngineLog();
    int status = kExitFailed;
    {
        TClipConverter converter(settings, console, interrupt);
        std::string error;
        if (converter.LoadLibraries(error))
            status = ConvertAll(converter, settings, console, interrupt);
        else
            console.Line(error);
    }
    FFLogger().OnLog = nullptr;
    return status;
}
