#include "app/main/ConversionControl.h"

#include <QFileInfo>
#include <QStringList>
#include <QWidget>

#include "app/core/ByteSize.h"
#include "app/core/DecoderThreads.h"
#include "app/core/FailureText.h"
#include "app/core/FramePipeline.h"
#include "app/core/LostFrames.h"
#include "app/core/OptionStrings.h"
#include "app/core/ProgressTexts.h"
#include "app/main/Globals.h"
#include "app/main/PreviewForm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/QtClipboard.h"
#include "engine/core/FFUtils.h"

namespace {

QString TextOf(const std::string& text) { return QString::fromUtf8(text.c_str()); }

QString FileNameOf(const std::string& path) { return QFileInfo(TextOf(path)).fileName(); }

// What the line of a saved GIF adds: " (fitted to 8 MB: 400x225, 15 fps, quality 70)", what
// a damaged clip lost.
QString SavedNotes(const std::string& fit, const std::string& lost) {
    QStringList notes;
    if (!fit.empty()) notes << TextOf(fit);
    if (!lost.empty()) notes << TextOf(lost);
    return notes.isEmpty() ? QString() : " (" + notes.join(QStringLiteral("; ")) + ")";
}

// "Conversion is complete.", with what the GIF was fitted to and what a damaged clip lost.
QString CompleteText(const std::string& fit, const std::string& lost) {
    QString text = QStringLiteral("Conversion is complete");
    if (!lost.empty()) text += ", but frames were lost (" + TextOf(lost) + ")";
    if (!fit.empty()) return text + (lost.empty() ? ", " : "; ") + TextOf(fit);
    return lost.empty() ? text + "." : text;
}

}  // namespace

TConversionControl::TConversionControl(QWidget& window, TSinkWindow& sinkWindow,
                                       TConversionOwner& owner)
    : window_(window),
      owner_(owner),
      sink_(sinkWindow),
      previewForm_(std::make_unique<TPreviewForm>(&window)) {
    ConnectEncoder();
    previewForm_->OnPlayFailed = [this](const QString& error) {
        owner_.LogMessage(QStringLiteral("***Cannot play ") + TextOf(lastResult_.File) +
                          QStringLiteral(": ") + error);
    };
}

TConversionControl::~TConversionControl() = default;

void TConversionControl::ConnectEncoder() {
    encoder_.SetThreadPriority(kPipelinedConversionPriority);
    encoder_.SetFilterThreads(DefaultFilterThreads());
    sink_.Attach(foa_);
    // The sink's own header handler, noting that this run's output has begun.
    foa_.OnWriteHeader = [this](TFrameOutputAdapter* sender) {
        outputStarted_ = true;
        sink_.FOAWriteHeader(sender);
    };
    encoder_.OnPreviewBitmap = [this](TCustomEncoder*, const TPreviewInfo& info) {
        FFEncoderPreviewBitmap(info);
    };
    encoder_.OnProgress = [this](TCustomEncoder*, PProgressInfo info) { FFEncoderProgress(info); };
    encoder_.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& info) {
        RunHandler(&window_, [this, &info] { FFEncoderTerminate(info); });
    };
}

void TConversionControl::Forget() {
    conversion_.reset();
    taskReady_ = false;
    encoder_.ClearTasks();
}

bool TConversionControl::Set(const TConversion& conversion) {
    Forget();
    if (conversion.Files.empty()) return false;
    conversion_ = conversion;
    taskReady_ = AddConversion(0);
    if (taskReady_) owner_.LogMessage(QStringLiteral("***File has been added to convert list."));
    for (size_t i = 1; i < conversion.Files.size(); ++i)
        owner_.LogMessage(QStringLiteral("***Converted next, with the same options: ") +
                          TextOf(conversion.Files[i]));
    return taskReady_;
}

// The clip is read again for what its options depend on (its frame rate, its aspect ratio);
// its task gets the adapter as its output.
bool TConversionControl::AddConversion(size_t index) {
    encoder_.ClearTasks();
    fileIndex_ = index;
    fit_.reset();
    const std::string& file = conversion_->Files[index];
    std::string error;
    if (!ReadClipFacts(encoder_.Decoder(), file, facts_, error)) {
        owner_.LogMessage(QStringLiteral("***File load error: ") + TextOf(error));
        return false;
    }
    if (!facts_.HasVideo) {
        owner_.LogMessage(QStringLiteral("***No video to convert in ") + TextOf(file));
        return false;
    }
    return AddTask(conversion_->Choices);
}

bool TConversionControl::AddTask(const TConversionChoices& choices) {
    encoder_.ClearTasks();
    const std::string& file = conversion_->Files[fileIndex_];
    texts_ = BuildTaskOptions(choices, facts_);
    encoder_.SetDecoderThreads(DefaultDecoderThreads(choices, facts_, texts_));
    TInputOptions input;
    input.FileName = file;
    input.Options = texts_.Input;
    const int task = encoder_.AddTask(file, input);
    if (task < 0) {
        owner_.LogMessage(QStringLiteral("***File open error: ") +
                          TextOf(encoder_.LastErrorMessage()));
        return false;
    }
    TOutputOptions output;
    output.Options = texts_.Output;
    if (encoder_.SetOutput(task, foa_.OutputName(), output) < 0) {
        const QString message = TextOf(encoder_.LastErrorMessage());
        encoder_.RemoveTask(task);
        owner_.LogMessage(QStringLiteral("***Cannot do convert, error: ") + message);
        return false;
    }
    return true;
}

// A task that has run cannot run again: Start after a run converts the files once more, from
// the first.
void TConversionControl::Start() {
    if (previewForm_) previewForm_->StopPlaying();
    owner_.ShowResult(nullptr);
    if (conversion_ && (encoder_.Working() || fileIndex_ != 0)) taskReady_ = AddConversion(0);
    owner_.LogMessage(QStringLiteral("***Can do convert."));
    owner_.ShowRunPhase(TRunPhase::Started);
    stopped_ = false;
    tasksEnded_ = 0;
    tasksCompleted_ = 0;
    lastResult_ = TConversionResult();
    runLost_.clear();
    runFit_.clear();
    runUnderway_ = true;
    PreparePreview();
    encoder_.SetPreviewBitmap(previewWanted_);
    RunFile();
}

void TConversionControl::RunFile() {
    fit_.reset();
    outgrewLimit_ = false;
    if (conversion_ && conversion_->Choices.SizeLimit > 0) return ChooseSettings();
    ConvertFile();
}

void TConversionControl::ConvertFile() {
    if (conversion_) {
        const std::string& file = conversion_->Files[fileIndex_];
        PrepareSink(sink_, RunChoices(), file);
        sink_.SetSizeLimit(conversion_->Choices.SizeLimit);
        QString converting = QStringLiteral("Converting ") + FileNameOf(file);
        if (conversion_->Files.size() > 1) {
            converting = QStringLiteral("Converting ") + FileLabel() + QStringLiteral(": ") +
                         FileNameOf(file);
            owner_.LogMessage(QStringLiteral("***Converting ") + FileLabel() +
                              QStringLiteral(": ") + TextOf(file));
        }
        owner_.ShowStatus(converting + QStringLiteral("\u2026"));
    }
    outputStarted_ = false;
    runOutput_.clear();
    runStarted_ = std::chrono::steady_clock::now();
    owner_.ShowProgress(0, QStringLiteral("0%"));
    encoder_.StartTask(1);
}

TConversionChoices TConversionControl::RunChoices() const {
    return fit_ && fit_->Fits() ? fit_->ChosenChoices() : conversion_->Choices;
}

// "file 2 of 3" while several files are converted.
QString TConversionControl::FileLabel() const {
    return QStringLiteral("file %1 of %2").arg(fileIndex_ + 1).arg(conversion_->Files.size());
}

void TConversionControl::PreparePreview() {
    if (!previewForm_) return;
    previewForm_->setVisible(previewWanted_);
    previewForm_->FillBlack();
    previewForm_->setWindowTitle(QString());
}

// What the stopped run handed over is shown before the preview window hides, so that no frame
// of it brings the window back.
void TConversionControl::Stop() {
    stopped_ = true;
    owner_.ShowRunPhase(TRunPhase::Stopping);
    if (CancelChoosing()) return;
    encoder_.Stop(true);
    owner_.CatchUp();
    if (previewForm_) previewForm_->hide();
    encoder_.SetPreviewBitmap(false);
}

void TConversionControl::Pause() {
    owner_.ShowRunPhase(TRunPhase::Paused);
    encoder_.Pause();
}

void TConversionControl::Resume() {
    owner_.ShowRunPhase(TRunPhase::Resumed);
    encoder_.Resume();
}

void TConversionControl::SetPreviewWanted(bool wanted) {
    previewWanted_ = wanted;
    if (!wanted && previewForm_) previewForm_->hide();
    encoder_.SetPreviewBitmap(wanted);
}

void TConversionControl::ShowPreviewFrame(const QImage& picture, int frameNumber) {
    TPreviewForm* preview = previewForm_.get();
    if (!preview) return;
    preview->setWindowTitle(QStringLiteral("#%1").arg(frameNumber));
    preview->ShowPicture(picture);
}

void TConversionControl::RevealPreview() {
    if (previewForm_ && previewWanted_) previewForm_->show();
}

void TConversionControl::FFEncoderPreviewBitmap(const TPreviewInfo& APreviewInfo) {
    TPreviewForm* preview = previewForm_.get();
    const TBitmap* bitmap = APreviewInfo.Bitmap;
    if (!preview || !bitmap) return;
    preview->setWindowTitle(QStringLiteral("#%1").arg(APreviewInfo.FrameNumber));
    preview->ShowBitmap(*bitmap);
    preview->setVisible(previewWanted_);
}

// The line as the encoder reports it, with the GIF's bytes written so far and the time as the
// clip's time text; the share done and the time left beside it.
void TConversionControl::FFEncoderProgress(PProgressInfo AProgressInfo) {
    const TProgressInfo& info = *AProgressInfo;
    QString line = QStringLiteral("Frame number: %1; FPS: %2; Size: %3; Time: %4")
                       .arg(info.FrameNumber)
                       .arg(info.FPS)
                       .arg(TextOf(ByteSizeText(sink_.BytesWritten())))
                       .arg(TextOf(FormatTimestamp(info.OutputTime)));
    if (conversion_ && conversion_->Files.size() > 1)
        line = FileLabel() + QStringLiteral(": ") + line;
    owner_.ShowStatus(line);
    TProgressState state;
    state.Done = info.OutputTime;
    state.Length = texts_.Length;
    state.Frames = info.FrameNumber;
    state.Elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - runStarted_).count();
    const std::optional<double> fraction = ProgressFraction(state);
    if (!fraction) return owner_.ShowProgress(-1, QString());
    const int percent = static_cast<int>(*fraction * 100);
    QString text = QStringLiteral("%1%").arg(percent);
    if (const std::optional<double> left = SecondsLeft(state))
        text += QStringLiteral(" \u00b7 %1 left").arg(TextOf(ClockText(*left)));
    owner_.ShowProgress(percent, text);
}

// What the task logged and showed comes before its end. "Conversion is complete." only follows
// runs whose every task ran to its end: the report of the end of all tasks says completed also
// after a failure or a stop.
void TConversionControl::FFEncoderTerminate(const TTerminateInfo& ATerminateInfo) {
    owner_.CatchUp();
    if (ATerminateInfo.TaskIndex >= 0 && ATerminateInfo.Failed && fit_ && !stopped_ &&
        sink_.LimitExceeded()) {
        // converted again lower once all its tasks have ended; nothing of it was kept
        outgrewLimit_ = true;
        return;
    }
    if (ATerminateInfo.TaskIndex >= 0) {
        ++tasksEnded_;
        if (ATerminateInfo.Completed && !ATerminateInfo.Failed) ++tasksCompleted_;
        if (!ATerminateInfo.Failed && outputStarted_ && !sink_.SavedFileName().empty()) {
            runOutput_ = sink_.SavedFileName();
            if (ATerminateInfo.Completed) {
                // a damaged clip: the GIF of what could be read, and what was lost
                const std::string lost = LostFramesText(ATerminateInfo.Losses);
                if (!lost.empty()) runLost_ = lost;
            }
            runFit_ = fit_ ? fit_->FittedLine() : std::string();
            TakeResult();
            owner_.LogMessage(QStringLiteral("***GIF saved: ") + TextOf(runOutput_) +
                              SavedNotes(runFit_, runLost_));
        }
    }
    if (ATerminateInfo.Failed)
        Dialogs().ShowMessage(
            &window_, QMessageBox::Warning, ApplicationTitle(),
            TextOf(ConversionFailureText(InputFileName(), ATerminateInfo.ErrorMessage)));
    if (ATerminateInfo.TaskIndex >= 0) return;
    if (outgrewLimit_ && !stopped_ && ConvertSmaller()) return;
    RunNextOrEnd();
}

void TConversionControl::RunNextOrEnd() {
    if (!stopped_ && RunNextFile()) return;
    EndRuns();
}

void TConversionControl::TakeResult() {
    lastResult_.File = runOutput_;
    lastResult_.Bytes = sink_.BytesWritten();
    lastResult_.Frames = sink_.SavedFrames();
    lastResult_.Width = sink_.Document().Width();
    lastResult_.Height = sink_.Document().Height();
}

bool TConversionControl::RunNextFile() {
    if (!conversion_) return false;
    for (size_t next = fileIndex_ + 1; next < conversion_->Files.size(); ++next) {
        if (!AddConversion(next)) continue;
        RunFile();
        return true;
    }
    return false;
}

void TConversionControl::EndRuns() {
    runUnderway_ = false;
    owner_.ShowRunPhase(TRunPhase::Ended);
    owner_.ShowProgress(-1, QString());
    if (previewForm_) previewForm_->hide();
    encoder_.SetPreviewBitmap(false);
    if (!lastResult_.File.empty()) owner_.ShowResult(&lastResult_);
    const bool allCompleted = tasksEnded_ > 0 && tasksCompleted_ == tasksEnded_;
    if (!allCompleted || stopped_) return;
    owner_.ShowStatus(CompleteText(runFit_, runLost_));
    PlayResult();
}

// After runs in which every task completed: the GIF made last plays in the preview window.
void TConversionControl::PlayResult() {
    if (lastResult_.File.empty() || !previewForm_ || !previewWanted_) return;
    previewForm_->PlayAnimation(lastResult_.File);
}

void TConversionControl::ShowResultInFolder() {
    if (!lastResult_.File.empty()) Dialogs().ShowFileInFolder(TextOf(lastResult_.File));
}

void TConversionControl::CopyResult() {
    if (lastResult_.File.empty()) return;
    const bool playing = previewForm_ && previewForm_->PlayingFile() == lastResult_.File;
    if (playing) return previewForm_->CopyAnimation();
    if (!CopyGifFileToClipboard(lastResult_.File, QImage()))
        owner_.LogMessage(QStringLiteral("***Cannot copy ") + TextOf(lastResult_.File));
}

// A conversion under way is stopped before the preview window goes; its reports no longer come.
TClosedRun TConversionControl::Close() {
    TClosedRun closed;
    closed.WasRunning = runUnderway_;
    choosing_.Cancel();
    runUnderway_ = false;
    encoder_.OnProgress = nullptr;
    encoder_.OnTerminate = nullptr;
    encoder_.Stop(true);
    previewForm_.reset();
    if (!closed.WasRunning) return closed;
    if (outputStarted_ && !sink_.SavedFileName().empty()) {
        closed.SavedFile = sink_.SavedFileName();
        closed.Frames = sink_.SavedFrames();
    }
    const TFFmpegList& tasks = encoder_.Tasks();
    for (int i = 0; i < tasks.Count(); ++i)
        if (tasks.Items(i).Failed) closed.Failure = tasks.Items(i).FailureText;
    return closed;
}

QString ClosedRunMessage(const TClosedRun& closed, const std::string& inputFileName) {
    if (!closed.WasRunning) return {};
    if (!closed.Failure.empty())
        return TextOf(ConversionFailureText(inputFileName, closed.Failure));
    if (closed.SavedFile.empty())
        return QStringLiteral(
            "The conversion was stopped before its first frame: no GIF was "
            "saved.");
    if (closed.Frames == 1)
        return QStringLiteral("Saved the one frame converted so far as %1")
            .arg(TextOf(closed.SavedFile));
    return QStringLiteral("Saved the %1 frames converted so far as %2")
        .arg(closed.Frames)
        .arg(TextOf(closed.SavedFile));
}
