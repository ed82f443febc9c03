// The main window's conversion: the task of the chosen file, Start, Stop, Pause and Resume with
// the button states, the encoder's preview, progress and end reports, and the GIF made played
// in the preview window.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "app/core/FramePipeline.h"
#include "app/main/FrameOutputFrm.h"
#include "app/main/Globals.h"
#include "app/main/PreviewForm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/WindowPlacement.h"

namespace {

// The part of the face from the top down to below the button row.
constexpr int kControlsBand = 92;

QString TextOf(const std::string& text) { return QString::fromUtf8(text.c_str()); }

}  // namespace

void TfrmFrameOutput::ConnectEncoder() {
    FFEncoder.SetThreadPriority(kPipelinedConversionPriority);
    sink_.Attach(FOA);
    // The sink's own header handler, noting that this run's output has begun.
    FOA.OnWriteHeader = [this](TFrameOutputAdapter* sender) {
        outputStarted_ = true;
        sink_.FOAWriteHeader(sender);
    };
    sinkWindow_.SetPreviewWanted(chkPreview->isChecked());
    connect(chkPreview, &QCheckBox::toggled, this,
            [this](bool checked) { sinkWindow_.SetPreviewWanted(checked); });
    FFEncoder.OnPreviewBitmap = [this](TCustomEncoder*, const TPreviewInfo& info) {
        FFEncoderPreviewBitmap(info);
    };
    FFEncoder.OnProgress = [this](TCustomEncoder*, PProgressInfo info) { FFEncoderProgress(info); };
    FFEncoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& info) {
        RunHandler(this, [this, &info] { FFEncoderTerminate(info); });
    };
}

void TfrmFrameOutput::AddConversion(const TConversion& conversion) {
    const int index = FFEncoder.AddTask(conversion.Input.FileName, conversion.Input);
    if (index < 0) {
        LogMessage(QStringLiteral("***File open error: ") + TextOf(FFEncoder.LastErrorMessage()));
        return;
    }
    if (FFEncoder.SetOutput(index, FOA.OutputName(), conversion.Output) < 0) {
        const QString error = TextOf(FFEncoder.LastErrorMessage());
        FFEncoder.RemoveTask(index);
        LogMessage(QStringLiteral("***Cannot do convert, error: ") + error);
        return;
    }
    LogMessage(QStringLiteral("***File has been added to convert list."));
}

// A task that has run cannot run again, and the encoder stays in its working state after a run
// until its tasks are cleared: Start after a run converts the file once more.
void TfrmFrameOutput::PrepareRun() {
    if (!FFEncoder.Working()) return;
    FFEncoder.ClearTasks();
    if (conversion_) AddConversion(*conversion_);
}

void TfrmFrameOutput::SetRunButtons(bool input, bool start, bool stop, bool pause, bool resume) {
    btnOpen->setEnabled(input);
    btnStart->setEnabled(start);
    btnStop->setEnabled(stop);
    btnPause->setEnabled(pause);
    btnResume->setEnabled(resume);
}

void TfrmFrameOutput::btnStartClick() {
    if (previewForm_) previewForm_->StopPlaying();
    PrepareRun();
    LogMessage(QStringLiteral("***Can do convert."));
    SetRunButtons(false, false, true, true, false);
    btnStop->setFocus();
    if (previewForm_) {
        PlacePreviewWindow();
        previewForm_->setVisible(chkPreview->isChecked());
        previewForm_->FillBlack();
        previewForm_->setWindowTitle(QString());
    }
    FFEncoder.SetPreviewBitmap(chkPreview->isChecked());
    if (conversion_) {
        sink_.SetInputFileName(inputFileName_.toStdString());
        TFrameTimingOptions timing = sink_.Timing();
        timing.Enabled = conversion_->PlayAtClipSpeed;
        sink_.SetTiming(timing);
        sink_.SetOptimizeFrames(conversion_->Optimize);
    }
    outputStarted_ = false;
    runTasksEnded_ = 0;
    runTasksCompleted_ = 0;
    runOutput_.clear();
    FFEncoder.StartTask(1);
}

// The preview window opens at the screen's centre. It stays on top, so before it shows the
// first time it moves where it leaves the window's title and buttons (Stop above all) in view,
// if it covers them there; from then on it stays where it is, or where the user puts it.
void TfrmFrameOutput::PlacePreviewWindow() {
    if (previewPlaced_) return;
    previewPlaced_ = true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    previewForm_->move(ClearOfOwnerBand(screen->availableGeometry(), frameGeometry(), kControlsBand,
                                        previewForm_->frameGeometry().size(), previewForm_->pos()));
}

void TfrmFrameOutput::btnStopClick() {
    btnStop->setEnabled(false);
    FFEncoder.Stop(true);
    if (previewForm_) previewForm_->hide();
    FFEncoder.SetPreviewBitmap(false);
}

void TfrmFrameOutput::btnPauseClick() {
    btnPause->setEnabled(false);
    btnResume->setEnabled(true);
    FFEncoder.Pause();
}

void TfrmFrameOutput::btnResumeClick() {
    btnPause->setEnabled(true);
    btnResume->setEnabled(false);
    FFEncoder.Resume();
}

void TfrmFrameOutput::chkPreviewClick() {
    if (!chkPreview->isChecked() && previewForm_) previewForm_->hide();
    FFEncoder.SetPreviewBitmap(chkPreview->isChecked());
}

void TfrmFrameOutput::FFEncoderPreviewBitmap(const TPreviewInfo& APreviewInfo) {
    TPreviewForm* preview = previewForm_.get();
    const TBitmap* bitmap = APreviewInfo.Bitmap;
    if (!preview || !bitmap) return;
    if (preview->width() != bitmap->Width() || preview->height() != bitmap->Height())
        preview->SetClientSize(bitmap->Width(), bitmap->Height());
    preview->setWindowTitle(QStringLiteral("#%1").arg(APreviewInfo.FrameNumber));
    preview->ShowBitmap(*bitmap);
    preview->setVisible(chkPreview->isChecked());
}

void TfrmFrameOutput::FFEncoderProgress(PProgressInfo AProgressInfo) {
    lblStatus->setText(QString::asprintf("Frame number: %d; FPS: %d; Size: %lld; Time: %lld",
                                         AProgressInfo->FrameNumber, AProgressInfo->FPS,
                                         static_cast<long long>(AProgressInfo->OutputSize),
                                         static_cast<long long>(AProgressInfo->OutputTime)));
}

// "Conversion is complete." only follows a run whose every task ran to its end: the report of
// the end of all tasks says completed also after a failure or a stop.
void TfrmFrameOutput::FFEncoderTerminate(const TTerminateInfo& ATerminateInfo) {
    if (ATerminateInfo.TaskIndex < 0) {
        SetRunButtons(true, true, false, false, false);
    } else {
        ++runTasksEnded_;
        if (ATerminateInfo.Completed && !ATerminateInfo.Failed) ++runTasksCompleted_;
        if (!ATerminateInfo.Failed && outputStarted_ && !sink_.SavedFileName().empty()) {
            runOutput_ = sink_.SavedFileName();
            LogMessage(QStringLiteral("***GIF saved: ") + TextOf(runOutput_));
        }
    }
    if (ATerminateInfo.Failed)
        Dialogs().ShowMessage(this, QMessageBox::Warning, ApplicationTitle(),
                              TextOf(ATerminateInfo.ErrorMessage));
    if (!ATerminateInfo.Completed) return;
    if (previewForm_) previewForm_->hide();
    FFEncoder.SetPreviewBitmap(false);
    const bool runCompleted = runTasksEnded_ > 0 && runTasksCompleted_ == runTasksEnded_;
    if (!runCompleted) return;
    lblStatus->setText(QStringLiteral("Conversion is complete."));
    if (ATerminateInfo.TaskIndex < 0) PlayResult();
}

void TfrmFrameOutput::PlayResult() {
    if (runOutput_.empty() || !previewForm_ || !chkPreview->isChecked()) return;
    try {
        previewForm_->PlayAnimation(runOutput_);
    } catch (const std::exception& error) {
        LogMessage(QStringLiteral("***Cannot play ") + TextOf(runOutput_) + QStringLiteral(": ") +
                   TextOf(error.what()));
    }
}

// The window always closes; a conversion under way is stopped first.
void TfrmFrameOutput::FormCloseQuery() {
    FFEncoder.OnProgress = nullptr;
    FFEncoder.OnTerminate = nullptr;
    FFEncoder.Stop(true);
    FFLogger.OnLog = nullptr;
    previewForm_.reset();
}
