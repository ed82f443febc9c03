#pragma once
// One clip after another into GIFs, along the desktop program's road: the encoder runs a task
// from the clip into a frame output adapter ("rawrgb" BGR24 frames), the frame sink adds each
// frame to the document and saves it when the output closes.
//
// The encoder hands its progress and end reports to the main thread (TriggerEventInMainThread
// stays on, as in the desktop program): while a task runs, the main thread waits for those
// calls and runs them, and between them looks at the interrupt watch; Ctrl-C stops the task as
// the Stop button does, and the sink saves the frames converted so far. Sizes that cannot be
// made, or not in the memory at hand, are refused before the conversion.
//
// With a size limit, samples of the clip choose the settings first (SizeSearch.h), and the
// sink fails a GIF that grows past the limit at once; the clip is then converted again at the
// next settings down. --estimate runs the samples only.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "app/core/FrameSink.h"
#include "app/core/TaskOptions.h"
#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ConsoleSinkWindow.h"
#include "cli/InterruptWatch.h"
#include "engine/encoder/FFEncode.h"
#include "engine/output/FrameOutput.h"

// How the conversion of one file ended.
struct TConversionOutcome {
    // The GIF's path; empty when none was saved.
    std::string SavedFile;
    int Frames = 0;
    int Width = 0;
    int Height = 0;
    int64_t Bytes = 0;
    // Why no GIF was saved (empty when one was).
    std::string Error;
    // Ctrl-C stopped the conversion (a GIF of the frames so far may have been saved).
    bool Interrupted = false;
    // With a size limit: what was chosen to fit ("fitted to 8 MB: 400x225, 15 fps, quality
    // 70"); with --estimate: the estimate ("about 4.2 MB (640x480, 25 fps, quality 90)").
    std::string Fit;
    // Conversions made, the ones that came out too large included.
    int Passes = 0;
    // What a damaged clip lost ("11 of about 75 frames: the clip could not be read after
    // 0.44 s"); empty when nothing was lost. The GIF of what could be read is saved.
    std::string Lost;
};

class TClipConverter {
public:
    TClipConverter(const TConvertSettings& settings, TConsole& console,
                   const TInterruptWatch& interrupt);
    ~TClipConverter();
    TClipConverter(const TClipConverter&) = delete;
    TClipConverter& operator=(const TClipConverter&) = delete;

    // Loads the media libraries from the "lib" folder beside the program (or the system's) and
    // registers the frame output formats. False with the loader's message in `error`.
    bool LoadLibraries(std::string& error);

    TConversionOutcome Convert(const std::string& fileName);

private:
    // One conversion with `choices` (and the sink's size limit `limit`, 0 none).
    TConversionOutcome ConvertWith(const std::string& fileName, const TClipFacts& facts,
                                   const TConversionChoices& choices, int64_t limit);
    // Chooses the settings that fit the size limit from samples and converts, again lower
    // while the GIF comes out too large.
    TConversionOutcome ConvertFitted(const std::string& fileName, const TClipFacts& facts);
    // The estimate of the GIF only.
    TConversionOutcome EstimateOnly(const std::string& fileName, const TClipFacts& facts);
    // Runs the task added at index 0 to its end; the end report of the task.
    TTerminateInfo RunTask(int64_t length);
    void ShowProgress(const TProgressInfo& info, int64_t length);
    std::string SizeRefusal(const TTaskOptionTexts& texts, const TClipFacts& facts) const;
    TConversionOutcome Failed(const std::string& fileName, const std::string& message) const;
    TConversionOutcome Finished(const std::string& fileName, const TTerminateInfo& end);

    const TConvertSettings& settings_;
    TConsole& console_;
    const TInterruptWatch& interrupt_;
    TFFEncoder encoder_;
    TFrameOutputAdapter adapter_;
    TConsoleSinkWindow window_;
    TFrameSink sink_;
    std::chrono::steady_clock::time_point started_;
    bool stopped_ = false;
    // Set on the conversion's thread when the output's header is written.
    std::atomic<bool> outputStarted_{false};
};
