#pragma once
// TConversionControl: the main window's conversion. It owns the encoder, the frame output
// adapter and the frame sink; it adds the task of each file the options dialog set up and runs
// them one after another with Start, Stop, Pause and Resume, following each run from the
// encoder's reports. The task's option strings and the sink's settings come from the user's
// choices through the builders the command line uses too, so both make the same GIF. It owns
// the preview window, which shows the frames while converting (while "Preview while encoding"
// is wanted) and, once the runs are complete, plays the last GIF made until the next run
// starts or the window closes. It reports to the window through TConversionOwner.
//
// With a size limit, each file's settings are chosen first from samples of the clip, on a
// thread of their own (FitChoice.h); its task then runs at them with the sink's limit set, and
// when the GIF still grows past the limit the file is converted again at the next settings
// down. A file that nothing can fit is told in a warning and gets no GIF.
#include <QImage>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/ConversionChoices.h"
#include "app/core/FitChoice.h"
#include "app/core/FrameSink.h"
#include "app/core/QuietThreads.h"
#include "app/core/TaskOptions.h"
#include "app/main/RunPhase.h"
#include "app/widgets/BackgroundRun.h"
#include "engine/encoder/FFEncode.h"
#include "engine/output/FrameOutput.h"

class QWidget;
class TPreviewForm;

// A GIF a run saved.
struct TConversionResult {
    std::string File;
    int64_t Bytes = 0;
    int Frames = 0;
    int Width = 0;
    int Height = 0;
};

// What the conversion asks of the window it works for; called on the GUI thread.
class TConversionOwner {
public:
    // A message of the window in the log (an empty line, the message, an empty line).
    virtual void LogMessage(const QString& message) = 0;
    virtual void ShowRunPhase(TRunPhase phase) = 0;
    virtual void ShowStatus(const QString& text) = 0;
    // The share of the run done (0 to 100) with its text ("42% - 0:12 left"); a negative share
    // hides it.
    virtual void ShowProgress(int percent, const QString& text) = 0;
    // The GIF the runs made last, once they have ended; null hides it.
    virtual void ShowResult(const TConversionResult* result) = 0;
    // Shows what the conversion's threads have handed to the GUI thread so far (log lines,
    // frames), so that what the conversion shows next comes after it.
    virtual void CatchUp() = 0;

protected:
    ~TConversionOwner() = default;
};

// What closing the window during a conversion left: the GIF of the frames converted so far, or
// why there is none.
struct TClosedRun {
    bool WasRunning = false;
    std::string SavedFile;  // empty when no GIF was saved
    int Frames = 0;
    std::string Failure;  // the conversion's error, when it failed on its way to the end
};

// What the user is told of it before the window goes ("Saved the 1503 frames converted so far
// as FILE"); empty when no conversion was under way.
QString ClosedRunMessage(const TClosedRun& closed, const std::string& inputFileName);

// A conversion as the options dialog set it up: the files, converted one after another, and
// the choices for every one of them.
struct TConversion {
    std::vector<std::string> Files;
    TConversionChoices Choices;
};

class TConversionControl {
public:
    // `window` parents the messages shown, and the preview window keeps clear of it. The sink
    // shows its frames and lines through `sinkWindow`.
    TConversionControl(QWidget& window, TSinkWindow& sinkWindow, TConversionOwner& owner);
    ~TConversionControl();
    TConversionControl(const TConversionControl&) = delete;
    TConversionControl& operator=(const TConversionControl&) = delete;

    TFFEncoder& Encoder() { return encoder_; }
    // The engine lines of the samples that choose the settings for a size limit are left out
    // of the log that consults `threads` (null: none).
    void SetQuietThreads(TQuietThreads* threads) { quietThreads_ = threads; }
    // The GIF document and its frames, bound to the adapter.
    TFrameSink& FrameSink() { return sink_; }
    TPreviewForm* PreviewWindow() const { return previewForm_.get(); }

    // The earlier conversion and its task go.
    void Forget();
    // The conversion of the chosen files: the first file's task is added, the log tells how
    // that went. True when it was: Start is ready.
    bool Set(const TConversion& conversion);
    // A conversion is set up and its task could be added: Start may run it.
    bool Ready() const { return conversion_.has_value() && taskReady_; }

    void Start();
    void Stop();
    void Pause();
    void Resume();
    // "Preview while encoding".
    void SetPreviewWanted(bool wanted);
    // The window closes: a conversion under way is stopped (the sink saves the frames so far)
    // and the preview window goes. Returns what became of the conversion.
    TClosedRun Close();
    // The file converting, or converted last ("" before a conversion is set up).
    std::string InputFileName() const {
        return conversion_ ? conversion_->Files[fileIndex_] : std::string();
    }

    // The sink's frames, as the sink window hands them over.
    void ShowPreviewFrame(const QImage& picture, int frameNumber);
    void RevealPreview();

    // The GIF saved last (an empty name before any).
    const TConversionResult& LastResult() const { return lastResult_; }
    // The result line's actions: the file manager at the GIF, the GIF on the clipboard.
    void ShowResultInFolder();
    void CopyResult();

    // The encoder's events.
    void FFEncoderPreviewBitmap(const TPreviewInfo& APreviewInfo);
    void FFEncoderProgress(PProgressInfo AProgressInfo);
    void FFEncoderTerminate(const TTerminateInfo& ATerminateInfo);

private:
    void ConnectEncoder();
    // Adds the task of the conversion's file at `index`; false (with the reason logged) when
    // it cannot be added.
    bool AddConversion(size_t index);
    // Adds the task of the file at fileIndex_ with `choices`, as AddConversion.
    bool AddTask(const TConversionChoices& choices);
    // The file's run: with a size limit its settings are chosen first.
    void RunFile();
    void ConvertFile();
    // After a file's run: the next file that can be added runs; false when none is left.
    bool RunNextFile();
    // After a file's run: the next file, or the end of the runs.
    void RunNextOrEnd();
    // The file's choices as its run takes them: fitted to the limit once they were chosen.
    TConversionChoices RunChoices() const;

    // The fitting to a size limit (ConversionControlFit.cpp).
    void ChooseSettings();
    void SettingsChosen(const TFitChoice& choice);
    // The file's GIF outgrew the limit: the settings a step down, converted again; false when
    // there are none, or the task cannot be added.
    bool ConvertSmaller();
    void TellNothingFits();
    // The choosing under way ends: Stop, or the window closing.
    bool CancelChoosing();
    void EndRuns();
    void TakeResult();
    void PreparePreview();
    void PlayResult();
    QString FileLabel() const;

    QWidget& window_;
    TConversionOwner& owner_;
    TFFEncoder encoder_;
    TFrameOutputAdapter foa_;
    TFrameSink sink_;
    std::unique_ptr<TPreviewForm> previewForm_;
    // The conversion the options dialog set up last, the file whose task is added, and
    // whether its task could be added.
    std::optional<TConversion> conversion_;
    size_t fileIndex_ = 0;
    bool taskReady_ = false;
    TTaskOptionTexts texts_;
    bool previewWanted_ = true;
    // The runs under way: Stop was pressed; the tasks that have ended and those that completed.
    bool stopped_ = false;
    int tasksEnded_ = 0;
    int tasksCompleted_ = 0;
    std::chrono::steady_clock::time_point runStarted_;
    // The run under way: its output has begun (set on the conversion's thread), and the GIF it
    // saved (empty: none yet).
    std::atomic<bool> outputStarted_{false};
    // From Start to the report of the end of the last file's tasks.
    bool runUnderway_ = false;
    std::string runOutput_;
    TConversionResult lastResult_;
    // What a damaged clip lost, in words (empty: nothing).
    std::string runLost_;
    // With a size limit: the facts of the file under way, the settings chosen for it (from the
    // samples taken in the background), whether its GIF outgrew the limit, and what its GIF was
    // fitted to, in words.
    TClipFacts facts_;
    TBackgroundRun<TFitChoice> choosing_;
    std::optional<TFitChoice> fit_;
    bool outgrewLimit_ = false;
    std::string runFit_;
    TQuietThreads* quietThreads_ = nullptr;
};
