#include "cli/ConvertMode.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// Whether stdout took what was just printed; if not, the reason goes to stderr with what became
// of the output, once, and not again when the program ends.
bool StdoutTookIt(TConsole& console, const std::string& outputState) {
    std::fflush(stdout);
    if (!std::ferror(stdout)) return true;
    const int error = errno ? errno : EIO;
    std::clearerr(stdout);
    console.Line("Cannot write to stdout: " + std::string(std::strerror(error)) + " (" +
                 outputState + ")");
    return false;
}

// The "Saved" line on stdout, with what was chosen to fit a size limit. False, with the reason
// on stderr, when stdout takes no more (a closed pipe, a full disk): the GIF stays, but whoever
// reads the line does not get it.
bool ReportSaved(TConsole& console, const TConversionOutcome& outcome) {
    console.ClearBar();
    errno = 0;
    std::printf("Saved %s (%d frames, %dx%d, %lld bytes)%s%s\n", outcome.SavedFile.c_str(),
                outcome.Frames, outcome.Width, outcome.Height,
                static_cast<long long>(outcome.Bytes), outcome.Fit.empty() ? "" : ", ",
                outcome.Fit.c_str());
    return StdoutTookIt(console, outcome.SavedFile + " is saved");
}

// "NAME: about 4.2 MB (640x480, 25 fps, quality 90)": printed even when quiet, being what was
// asked for.
bool ReportEstimate(TConsole& console, const std::string& file, const TConversionOutcome& outcome) {
    console.ClearBar();
    errno = 0;
    std::printf("%s: %s\n", file.c_str(), outcome.Fit.c_str());
    return StdoutTookIt(console, "nothing was written");
}

// Each file in turn; a stop signal ends the run after the file it stopped.
int ConvertAll(TClipConverter& converter, const TConvertSettings& settings, TConsole& console,
               const TInterruptWatch& interrupt) {
    int status = 0;
    for (const std::string& file : settings.Files) {
        const TConversionOutcome outcome = converter.Convert(file);
        if (settings.EstimateOnly && outcome.Error.empty() &&
            !ReportEstimate(console, file, outcome))
            status = kExitFailed;
        if (!outcome.SavedFile.empty() && !settings.Quiet && !ReportSaved(console, outcome))
            status = kExitFailed;
        if (!outcome.Lost.empty()) {
            // saved, but not all of the clip: a failure all the same
            console.Line("Saved " + outcome.SavedFile + " (" + outcome.Lost + ")");
            status = kExitFailed;
        }
        if (!outcome.Error.empty()) {
            console.Line(outcome.Error);
            status = kExitFailed;
        }
        if (outcome.Interrupted || interrupt.Raised()) return interrupt.ExitStatus();
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
