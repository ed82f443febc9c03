#include "cli/ClipConverter.h"

#include <algorithm>
#include <optional>

#include "app/core/ByteSize.h"
#include "app/core/ClipSampler.h"
#include "app/core/DecoderThreads.h"
#include "app/core/FailureText.h"
#include "app/core/FitTexts.h"
#include "app/core/FrameLimits.h"
#include "app/core/FramePipeline.h"
#include "app/core/LostFrames.h"
#include "app/core/ProjectedBytes.h"
#include "app/core/SizeSearch.h"
#include "cli/ProgressBar.h"
#include "engine/output/FrameOutputFormats.h"
#include "platform/FileSystem.h"
#include "platform/MainThread.h"
#include "platform/SystemMemory.h"

namespace {

// How long the main thread waits for a call of the encoder before it looks at Ctrl-C again.
constexpr int kPollMs = 50;
// Progress reports a second on a terminal (the engine's interval, in milliseconds).
constexpr int kBarIntervalMs = 250;

}  // namespace

TClipConverter::TClipConverter(const TConvertSettings& settings, TConsole& console,
                               const TInterruptWatch& interrupt)
    : settings_(settings),
      console_(console),
      interrupt_(interrupt),
      window_(console, settings.Verbose),
      sink_(window_) {
    sink_.Attach(adapter_);
    // The sink keeps the name of an earlier file's GIF until an output starts: a task that
    // ends before its header must not be taken for one that saved.
    adapter_.OnWriteHeader = [this](TFrameOutputAdapter* sender) {
        outputStarted_ = true;
        sink_.FOAWriteHeader(sender);
    };
    sink_.SetOutputFileName(settings.Output);
    if (console.ShowsBar()) encoder_.SetProgressInterval(kBarIntervalMs);
    encoder_.SetThreadPriority(kPipelinedConversionPriority);
    encoder_.SetFilterThreads(DefaultFilterThreads());
}

TClipConverter::~TClipConverter() { sink_.Detach(adapter_); }

bool TClipConverter::LoadLibraries(std::string& error) {
    if (!encoder_.LoadLibraries(ExecutablePath() + "lib")) {
        error = encoder_.LastErrorMessage();
        return false;
    }
    RegisterFrameOutputFormats();
    return true;
}

TConversionOutcome TClipConverter::Failed(const std::string& fileName,
                                          const std::string& message) const {
    TConversionOutcome outcome;
    outcome.Interrupted = stopped_;
    outcome.Error = ConversionFailureText(fileName, message);
    return outcome;
}

TConversionOutcome TClipConverter::Convert(const std::string& fileName) {
    stopped_ = false;
    if (DirectoryExists(fileName)) return Failed(fileName, "Is a directory");
    TClipFacts facts;
    std::string error;
    if (!ReadClipFacts(encoder_.Decoder(), fileName, facts, error)) return Failed(fileName, error);
    if (!facts.HasVideo) return Failed(fileName, "no video stream");
    const std::string refusal = SizeRefusal(BuildTaskOptions(settings_, facts), facts);
    if (!refusal.empty()) return Failed(fileName, refusal);

    if (settings_.EstimateOnly) return EstimateOnly(fileName, facts);
    if (settings_.SizeLimit > 0) return ConvertFitted(fileName, facts);
    return ConvertWith(fileName, facts, settings_, 0);
}

TConversionOutcome TClipConverter::ConvertWith(const std::string& fileName, const TClipFacts& facts,
                                               const TConversionChoices& choices, int64_t limit) {
    stopped_ = false;
    outputStarted_ = false;
    const TTaskOptionTexts texts = BuildTaskOptions(choices, facts);
    encoder_.SetDecoderThreads(DefaultDecoderThreads(choices, facts, texts));
    PrepareSink(sink_, choices, fileName);
    sink_.SetSizeLimit(limit);
    TInputOptions input;
    input.Options = texts.Input;
    const int task = encoder_.AddTask(fileName, input);
    if (task < 0) return Failed(fileName, encoder_.LastErrorMessage());
    TOutputOptions output;
    output.Options = texts.Output;
    if (encoder_.SetOutput(task, adapter_.OutputName(), output) < 0) {
        const std::string message = encoder_.LastErrorMessage();
        encoder_.ClearTasks();
        return Failed(fileName, message);
    }
    if (interrupt_.Raised()) {
        stopped_ = true;
        encoder_.ClearTasks();
        return Failed(fileName, "stopped before the conversion began");
    }
    const TTerminateInfo end = RunTask(texts.Length);
    return Finished(fileName, end);
}

TConversionOutcome TClipConverter::ConvertFitted(const std::string& fileName,
                                                 const TClipFacts& facts) {
    const int64_t limit = settings_.SizeLimit;
    TClipSampler sampler(fileName, settings_, facts);
    sampler.SetCancelCheck([this] { return interrupt_.Raised(); });
    TSizeSearch search(FitLadder(settings_, facts), limit);
    console_.Bar("Choosing the settings that fit " + RoundedSizeText(limit) + "...");
    const bool chosen =
        search.Choose([&](const TFitSettings& rung) { return sampler.Estimate(rung); });
    console_.ClearBar();
    stopped_ = interrupt_.Raised();
    if (!chosen)
        return Failed(fileName, stopped_ ? "stopped before the conversion began" : sampler.Error());
    for (int passes = 1;; ++passes) {
        if (search.Rung() < 0) {
            const std::vector<TFitSettings>& ladder = search.Ladder();
            return Failed(fileName, CannotFitText(sampler.PieceLength(), limit, search.Estimate(),
                                                  ladder.back()));
        }
        const TFitSettings& rung = search.Ladder()[search.Rung()];
        TConversionOutcome outcome =
            ConvertWith(fileName, facts, ChoicesAt(settings_, rung), limit);
        outcome.Passes = passes;
        if (!sink_.LimitExceeded() || stopped_) {
            if (outcome.Error.empty()) outcome.Fit = FittedText(limit, rung, settings_.Colors);
            return outcome;
        }
        if (!settings_.Quiet)
            console_.Line("The GIF grew past " + RoundedSizeText(limit) + " at " +
                          FitSettingsText(rung, settings_.Colors) + ": converting it again lower");
        search.StepDown(
            ProjectedGifBytes(sink_, sampler.PieceLength(), rung.FrameRate, settings_.SizeLimit));
    }
}

TConversionOutcome TClipConverter::EstimateOnly(const std::string& fileName,
                                                const TClipFacts& facts) {
    TClipSampler sampler(fileName, settings_, facts);
    sampler.SetCancelCheck([this] { return interrupt_.Raised(); });
    const std::vector<TFitSettings> ladder = FitLadder(settings_, facts);
    TConversionOutcome outcome;
    std::string fit;
    std::optional<TSizeEstimate> estimate;
    if (settings_.SizeLimit > 0) {
        TSizeSearch search(ladder, settings_.SizeLimit);
        if (search.Choose([&](const TFitSettings& rung) { return sampler.Estimate(rung); })) {
            if (search.Rung() < 0)
                return Failed(fileName, CannotFitText(sampler.PieceLength(), settings_.SizeLimit,
                                                      search.Estimate(), ladder.back()));
            estimate = search.Estimate();
            fit = ", " + FittedText(settings_.SizeLimit, ladder[search.Rung()], settings_.Colors);
        }
    } else {
        estimate = sampler.Estimate(ladder.front());
        if (estimate) fit = " (" + FitSettingsText(ladder.front(), settings_.Colors) + ")";
    }
    stopped_ = interrupt_.Raised();
    if (!estimate) return Failed(fileName, stopped_ ? "stopped" : sampler.Error());
    outcome.Interrupted = stopped_;
    outcome.Bytes = estimate->Bytes;
    outcome.Fit = EstimateText(estimate->Bytes) + fit;
    return outcome;
}

// Why frames of the size asked for (or the clip's own) cannot be made here; "" when they can.
std::string TClipConverter::SizeRefusal(const TTaskOptionTexts& texts,
                                        const TClipFacts& facts) const {
    const bool asked = texts.Width > 0 && texts.Height > 0;
    const int width = asked ? texts.Width : facts.Width;
    const int height = asked ? texts.Height : facts.Height;
    if (width <= 0 || height <= 0) return {};
    if (!WritableFrameSize(width, height))
        return "a " + std::to_string(width) + "x" + std::to_string(height) + " frame " +
               TooLargeForFramesText();
    return MemoryShortfallText(width, height, settings_.Colors, UsableMemoryBytes());
}

TTerminateInfo TClipConverter::RunTask(int64_t length) {
    std::optional<TTerminateInfo> taskEnd;
    bool allEnded = false;
    // Both run on the main thread, inside WaitForSynchronize below.
    encoder_.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex < 0)
            allEnded = true;
        else
            taskEnd = info;
    };
    if (console_.ShowsBar())
        encoder_.OnProgress = [this, length](TCustomEncoder*, PProgressInfo info) {
            ShowProgress(*info, length);
        };
    started_ = std::chrono::steady_clock::now();
    encoder_.StartTask(1);
    while (!allEnded) {
        WaitForSynchronize(kPollMs);
        if (!stopped_ && interrupt_.Raised()) {
            stopped_ = true;
            encoder_.Stop(false);
        }
    }
    encoder_.OnProgress = nullptr;
    encoder_.OnTerminate = nullptr;
    encoder_.ClearTasks();
    console_.ClearBar();
    return taskEnd.value_or(TTerminateInfo());
}

void TClipConverter::ShowProgress(const TProgressInfo& info, int64_t length) {
    TProgressState state;
    state.Done = info.OutputTime;
    state.Length = length;
    state.Frames = std::max(info.FrameNumber, 0);
    state.Elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    console_.Bar(ProgressBarText(state, console_.Columns() - 1));
}

TConversionOutcome TClipConverter::Finished(const std::string& fileName,
                                            const TTerminateInfo& end) {
    if (end.Failed) return Failed(fileName, end.ErrorMessage);
    const std::string saved = outputStarted_ ? sink_.SavedFileName() : std::string();
    if (saved.empty())
        return Failed(fileName, stopped_ ? "stopped before the first frame"
                                         : "the conversion ended without output");
    TConversionOutcome outcome;
    outcome.Interrupted = stopped_;
    outcome.SavedFile = saved;
    const TGIFImage& document = sink_.Document();
    outcome.Frames = sink_.SavedFrames();
    outcome.Width = document.Width();
    outcome.Height = document.Height();
    outcome.Bytes = FileSize(saved);
    if (end.Completed) outcome.Lost = LostFramesText(end.Losses);
    return outcome;
}
