#include "app/main/ConversionControl.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/core/FailureText.h"
#include "app/core/FramePipeline.h"
#include "app/main/Globals.h"
#include "app/main/PreviewForm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/WindowPlacement.h"

namespace {

// The part of the window from the top down to below the button row.
constexpr int kControlsBand = 92;

QString TextOf(const std::string& text) { return QString::fromUtf8(text.c_str()); }

}  // namespace

TConversionControl::TConversionControl(QWidget& window, TSinkWindow& sinkWindow,
                                       TConversionOwner& owner)
    : window_(window),
      owner_(owner),
      sink_(sinkWindow),
      previewForm_(std::make_unique<TPreviewForm>()) {
    ConnectEncoder();
}

TConversionControl::~TConversionControl() = default;

void TConversionControl::ConnectEncoder() {
    encoder_.SetThreadPriority(kPipelinedConversionPriority);
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
    encoder_.ClearTasks();
}

void TConversionControl::Set(const TConversion& conversion) {
    conversion_ = conversion;
    AddConversion(conversion);
}

// Adds the task of the conversion to the encoder, with the adapter as its output.
void TConversionControl::AddConversion(const TConversion& conversion) {
    const int index = encoder_.AddTask(conversion.Input.FileName, conversion.Input);
    if (index < 0) {
        owner_.LogMessage(QStringLiteral("***File open error: ") +
                          TextOf(encoder_.LastErrorMessage()));
        return;
    }
    if (encoder_.SetOutput(index, foa_.OutputName(), conversion.Output) < 0) {
        const QString error = TextOf(encoder_.LastErrorMessage());
        encoder_.RemoveTask(index);
        owner_.LogMessage(QStringLiteral("***Cannot do convert, error: ") + error);
        return;
    }
    owner_.LogMessage(QStringLiteral("***File has been added to convert list."));
}

// A task that has run cannot run again, and the encoder stays in its working state after a run
// until its tasks are cleared: Start after a run converts the file once more.
void TConversionControl::PrepareRun() {
    if (!encoder_.Working()) return;
    encoder_.ClearTasks();
    if (conversion_) AddConversion(*conversion_);
}

void TConversionControl::Start() {
    if (previewForm_) previewForm_->StopPlaying();
    PrepareRun();
    owner_.LogMessage(QStringLiteral("***Can do convert."));
    owner_.ShowRunPhase(TRunPhase::Started);
    PreparePreview();
    encoder_.SetPreviewBitmap(previewWanted_);
    if (conversion_) PrepareSink(*conversion_);
    outputStarted_ = false;
    runTasksEnded_ = 0;
    runTasksCompleted_ = 0;
    runOutput_.clear();
    runUnderway_ = true;
    encoder_.StartTask(1);
}

void TConversionControl::PreparePreview() {
    if (!previewForm_) return;
    PlacePreviewWindow();
    previewForm_->setVisible(previewWanted_);
    previewForm_->FillBlack();
    previewForm_->setWindowTitle(QString());
}

void TConversionControl::PrepareSink(const TConversion& conversion) {
    sink_.SetInputFileName(conversion.InputFileName);
    TFrameTimingOptions timing = sink_.Timing();
    timing.Enabled = conversion.PlayAtClipSpeed;
    sink_.SetTiming(timing);
    sink_.SetOptimizeFrames(conversion.Optimize);
}

// The preview window opens at the screen's centre. It stays on top, so before it shows the
// first time it moves where it leaves the window's title and buttons (Stop above all) in view,
// if it covers them there; from then on it stays where it is, or where the user puts it.
void TConversionControl::PlacePreviewWindow() {
    if (previewPlaced_) return;
    previewPlaced_ = true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    previewForm_->move(ClearOfOwnerBand(screen->availableGeometry(), window_.frameGeometry(),
                                        kControlsBand, previewForm_->frameGeometry().size(),
                                        previewForm_->pos()));
}

// What the stopped run handed over is shown before the preview window hides, so that no frame
// of it brings the window back.
void TConversionControl::Stop() {
    owner_.ShowRunPhase(TRunPhase::Stopping);
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
    if (preview->width() != picture.width() || preview->height() != picture.height())
        preview->SetClientSize(picture.width(), picture.height());
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
    if (preview->width() != bitmap->Width() || preview->height() != bitmap->Height())
        preview->SetClientSize(bitmap->Width(), bitmap->Height());
    preview->setWindowTitle(QStringLiteral("#%1").arg(APreviewInfo.FrameNumber));
    preview->ShowBitmap(*bitmap);
    preview->setVisible(previewWanted_);
}

void TConversionControl::FFEncoderProgress(PProgressInfo AProgressInfo) {
    owner_.ShowStatus(QString::asprintf("Frame number: %d; FPS: %d; Size: %lld; Time: %lld",
                                        AProgressInfo->FrameNumber, AProgressInfo->FPS,
                                        static_cast<long long>(AProgressInfo->OutputSize),
                                        static_cast<long long>(AProgressInfo->OutputTime)));
}

// What the task logged and showed comes before its end. "Conversion is complete." only follows
// a run whose every task ran to its end: the report of the end of all tasks says completed also
// after a failure or a stop.
void TConversionControl::FFEncoderTerminate(const TTerminateInfo& ATerminateInfo) {
    owner_.CatchUp();
    if (ATerminateInfo.TaskIndex < 0) {
        runUnderway_ = false;
        owner_.ShowRunPhase(TRunPhase::Ended);
    } else {
        ++runTasksEnded_;
        if (ATerminateInfo.Completed && !ATerminateInfo.Failed) ++runTasksCompleted_;
        if (!ATerminateInfo.Failed && outputStarted_ && !sink_.SavedFileName().empty()) {
            runOutput_ = sink_.SavedFileName();
            owner_.LogMessage(QStringLiteral("***GIF saved: ") + TextOf(runOutput_));
        }
    }
    if (ATerminateInfo.Failed)
        Dialogs().ShowMessage(
            &window_, QMessageBox::Warning, ApplicationTitle(),
            TextOf(ConversionFailureText(InputFileName(), ATerminateInfo.ErrorMessage)));
    if (!ATerminateInfo.Completed) return;
    if (previewForm_) previewForm_->hide();
    encoder_.SetPreviewBitmap(false);
    const bool runCompleted = runTasksEnded_ > 0 && runTasksCompleted_ == runTasksEnded_;
    if (!runCompleted) return;
    owner_.ShowStatus(QStringLiteral("Conversion is complete."));
    if (ATerminateInfo.TaskIndex < 0) PlayResult();
}

// After a run in which every task completed: the GIF made plays in the preview window.
void TConversionControl::PlayResult() {
    if (runOutput_.empty() || !previewForm_ || !previewWanted_) return;
    try {
        previewForm_->PlayAnimation(runOutput_);
    } catch (const std::exception& error) {
        owner_.LogMessage(QStringLiteral("***Cannot play ") + TextOf(runOutput_) +
                          QStringLiteral(": ") + TextOf(error.what()));
    }
}

// A conversion under way is stopped before the preview window goes; its reports no longer come.
TClosedRun TConversionControl::Close() {
    TClosedRun closed;
    closed.WasRunning = runUnderway_;
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
