#include "app/main/FrameOutputFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <iostream>

#include "app/core/ByteSize.h"
#include "app/core/ProgressTexts.h"
#include "app/core/SavedChoices.h"
#include "app/core/Settings.h"
#include "app/main/Globals.h"
#include "app/main/Skin.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/WindowPlacement.h"
#include "engine/output/FrameOutputFormats.h"

const char* const TfrmFrameOutput::kOpenDialogFilter =
    "Video/Audio/Picture Files|*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;"
    "*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.AAC;*.AC3;*.APE;*.DTS;*.FLAC;"
    "*.M4A;*.MKA;*.MP2;*.MP3;*.MPA;*.MPC;*.OFR;*.OGG;*.RA;*.TTA;*.WAV;*.WMA;*.BMP;*.GIF;*.JPEG;"
    "*.JPG;*.PNG;|Video Files|*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;"
    "*.MPG;*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WMV;|Audio Files|*.AAC;*.AC3;*.APE;*.DTS;"
    "*.FLAC;*.M4A;*.MKA;*.MP2;*.MP3;*.MPA;*.MPC;*.OFR;*.OGG;*.RA;*.TTA;*.WAV;*.WMA;|Picture "
    "Files|*.BMP;*.GIF;*.JPEG;*.JPG;*.PNG;|All Files|*.*";

namespace {

constexpr int kMostNestedDialogs = 8;

// Closes the decoder's file when the scope ends, however it ends.
class TCloseFileAtEnd {
public:
    explicit TCloseFileAtEnd(TFFDecoder& decoder) : decoder_(decoder) {}
    ~TCloseFileAtEnd() { decoder_.Close(); }
    TCloseFileAtEnd(const TCloseFileAtEnd&) = delete;
    TCloseFileAtEnd& operator=(const TCloseFileAtEnd&) = delete;

private:
    TFFDecoder& decoder_;
};

}  // namespace

QStringList NameFiltersOf(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

// The parts that hand things to the GUI thread are made on it, so that is where their queued
// calls run.
TfrmFrameOutput::TfrmFrameOutput(const TProgramFiles& files, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      files_(files),
      logHandOff_([this](const QString& line) { face_->AppendLog(line); },
                  TMainWindowFace::kLogLines),
      sinkWindow_(logHandOff_, *this),
      run_(*this, sinkWindow_, *this) {
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    face_ = new TMainWindowFace(*this, *this);
    // The engine's lines are taken on the thread that logs them and join the log's order there:
    // no thread waits for the GUI thread to take a line.
    FFLogger.SetTriggerEventInMainThread(false);
    FFLogger.OnLog = [this](const void*, uint32_t threadId, TLogLevel level,
                            const std::string& message) { FFLoggerLog(threadId, level, message); };
    PreviewWhileEncodingChanged(face_->PreviewWhileEncoding());
    run_.SetQuietThreads(&quietThreads_);
    FormCreate();
}

// A window that goes without having been closed stops its conversion all the same, before the
// sink and the adapter the conversion writes to go. The options dialog goes before the threads
// its estimates quieten in the log.
TfrmFrameOutput::~TfrmFrameOutput() {
    FormCloseQuery();
    delete frmOption_;
}

void TfrmFrameOutput::FormCreate() {
    setWindowTitle(ApplicationTitle());
    ReadSettings();
    LoadSkin();
    SetUpOpenDialog();
    CentreOnScreen(*this);
    face_->FocusInput();
}

void TfrmFrameOutput::ReadSettings() {
    const std::vector<std::string> values =
        ::ReadSettings(kWindowSettingsKeys, files_.SettingsFile);
    TGlobalSettings& settings = GlobalSettings();
    std::string* const targets[] = {&settings.Version,
                                    &settings.Copyright,
                                    &settings.ResFolder,
                                    &settings.HelpContectLink,
                                    &settings.HelpHowTosTutorialVideosLink,
                                    &settings.HelpHomePageLink,
                                    &settings.HelpMoreFreeToolsLink,
                                    &settings.HelpCheckForUpdatesLink,
                                    &settings.HelpSupportLink};
    for (size_t i = 0; i < kWindowSettingsKeys.size(); ++i) *targets[i] = values[i];
}

// Without its skin picture the window keeps a plain face and says why in the log.
void TfrmFrameOutput::LoadSkin() {
    try {
        skin_ = LoadSkinPicture(files_.SkinFile(GlobalSettings().ResFolder));
        setMask(SkinMask(skin_));
    } catch (const std::exception& error) {
        skin_ = QImage();
        clearMask();
        LogMessage(QStringLiteral("***Skin load error: ") + QString::fromUtf8(error.what()));
    }
    face_->SetSkin(skin_);
}

void TfrmFrameOutput::SetUpOpenDialog() {
    openDialog_ = Named("OpenDialog", new QFileDialog(this));
    openDialog_->setOption(QFileDialog::DontUseNativeDialog);
    openDialog_->setOption(QFileDialog::HideNameFilterDetails);
    openDialog_->setFileMode(QFileDialog::ExistingFile);
    openDialog_->setAcceptMode(QFileDialog::AcceptOpen);
    openDialog_->setSizeGripEnabled(true);
    const QStringList filters = NameFiltersOf(QString::fromLatin1(kOpenDialogFilter));
    openDialog_->setNameFilters(filters);
    openDialog_->selectNameFilter(filters.first());
}

void TfrmFrameOutput::AppendLog(const QString& line) { logHandOff_.Add(line); }

void TfrmFrameOutput::LogMessage(const QString& message) {
    AppendLog(QString());
    AppendLog(message);
    AppendLog(QString());
}

void TfrmFrameOutput::FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message) {
    if (quietThreads_.Contains(threadId)) return;
    AppendLog(QStringLiteral("#%1.%2: ")
                  .arg(threadId)
                  .arg(static_cast<int>(level))
                  .append(QString::fromUtf8(message.c_str())));
}

bool TfrmFrameOutput::EnsureLibraries() {
    TFFEncoder& encoder = Encoder();
    if (encoder.LibrariesLoaded()) return true;
    if (!encoder.LoadLibraries(files_.LibraryFolder())) {
        AppendLog(QString::fromUtf8(encoder.LastErrorMessage().c_str()));
        return false;
    }
    RegisterFrameOutputFormats();
    return true;
}

void TfrmFrameOutput::btnOpenClick() {
    if (!EnsureLibraries()) return;
    const QString fileName = Dialogs().ChooseFile(*openDialog_);
    if (fileName.isEmpty()) return;
    OpenInputFile(fileName);
}

void TfrmFrameOutput::OpenDroppedFiles(const QStringList& fileNames) {
    if (!EnsureLibraries()) return;
    OpenInputFiles(fileNames);
}

void TfrmFrameOutput::OpenInputFiles(const QStringList& fileNames) {
    TFFDecoder& decoder = Encoder().Decoder();
    for (qsizetype first = 0; first < fileNames.size(); ++first) {
        TCloseFileAtEnd closeFile(decoder);
        if (!LoadConvertible(fileNames[first])) continue;
        inputFileName_ = fileNames[first];
        face_->ShowInputName(fileNames.size() - first > 1 ? QStringLiteral("%1 (and %2 more)")
                                                                .arg(inputFileName_)
                                                                .arg(fileNames.size() - first - 1)
                                                          : inputFileName_);
        RunOptionsDialog(fileNames.mid(first));
        return;
    }
}

bool TfrmFrameOutput::LoadConvertible(const QString& fileName) {
    TFFDecoder& decoder = Encoder().Decoder();
    if (!decoder.LoadFile(fileName.toStdString())) {
        LogMessage(QStringLiteral("***File load error: ") +
                   QString::fromUtf8(decoder.LastErrorMessage().c_str()));
        return false;
    }
    if (decoder.FirstVideoStream() >= 0) return true;
    LogMessage(QStringLiteral("***No video to convert in ") + fileName);
    Dialogs().ShowMessage(
        this, QMessageBox::Warning, ApplicationTitle(),
        QStringLiteral("%1 has no video to convert.").arg(QFileInfo(fileName).fileName()));
    return false;
}

// OK sets up the conversion of the files (Start is offered when its task could be added);
// Cancel leaves no conversion to start.
void TfrmFrameOutput::RunOptionsDialog(const QStringList& fileNames) {
    if (!frmOption_) {
        frmOption_ = new TfrmOption(this);
        frmOption_->SetQuietThreads(&quietThreads_);
        frmOption_->SetSavedChoices(ReadSavedChoices(files_.SettingsFile));
    }
    frmOption_->Prepare(Encoder().Decoder());
    if (Dialogs().ShowModal(*frmOption_) != QDialog::Accepted) {
        run_.Forget();
        face_->WithdrawStart();
        return;
    }
    RememberChoices();
    TConversion conversion;
    for (const QString& name : fileNames) conversion.Files.push_back(name.toStdString());
    conversion.Choices = frmOption_->Choices();
    if (run_.Set(conversion))
        face_->OfferStart();
    else
        face_->WithdrawStart();
}

// A settings file that cannot be written (a read-only folder) only costs the remembering.
void TfrmFrameOutput::RememberChoices() {
    try {
        WriteSavedChoices(frmOption_->SavedChoices(), files_.SettingsFile);
    } catch (const std::exception& error) {
        LogMessage(QStringLiteral("***Cannot remember the options: ") +
                   QString::fromUtf8(error.what()));
    }
}

void TfrmFrameOutput::FaceButtonClicked(TFaceButton button) {
    RunHandler(this, [this, button] {
        switch (button) {
            case TFaceButton::Input:
                return btnOpenClick();
            case TFaceButton::Start:
                return btnStartClick();
            case TFaceButton::Stop:
                return btnStopClick();
            case TFaceButton::Pause:
                return btnPauseClick();
            case TFaceButton::Resume:
                return btnResumeClick();
            case TFaceButton::ShowInFolder:
                return run_.ShowResultInFolder();
            case TFaceButton::CopyGif:
                return run_.CopyResult();
        }
    });
}

void TfrmFrameOutput::PreviewWhileEncodingChanged(bool on) {
    sinkWindow_.SetPreviewWanted(on);
    run_.SetPreviewWanted(on);
}

void TfrmFrameOutput::FilesDropped(const QStringList& fileNames) {
    RunHandler(this, [this, fileNames] { OpenDroppedFiles(fileNames); });
}

void TfrmFrameOutput::ShowPreviewFrame(const QImage& picture, int frameNumber) {
    run_.ShowPreviewFrame(picture, frameNumber);
}

void TfrmFrameOutput::RevealPreview() { run_.RevealPreview(); }

// Start after the runs only while a task is ready again.
void TfrmFrameOutput::ShowRunPhase(TRunPhase phase) {
    face_->ShowRunPhase(phase);
    if (phase == TRunPhase::Ended && !run_.Ready()) face_->WithdrawStart();
}

void TfrmFrameOutput::ShowStatus(const QString& text) { face_->ShowStatus(text); }

void TfrmFrameOutput::ShowProgress(int percent, const QString& text) {
    face_->ShowProgress(percent, text);
}

// "clip_(new).gif - 1.30 MB, 118 frames, 320x240", the whole path in the tool tip.
void TfrmFrameOutput::ShowResult(const TConversionResult* result) {
    if (!result) return face_->ShowResult(QString(), QString(), QString());
    const QString path = QString::fromUtf8(result->File.c_str());
    const QString facts = QStringLiteral("%1 \u00b7 %2 frames \u00b7 %3x%4")
                              .arg(QString::fromStdString(ByteSizeText(result->Bytes)))
                              .arg(result->Frames)
                              .arg(result->Width)
                              .arg(result->Height);
    face_->ShowResult(QFileInfo(path).fileName(), facts, path + QStringLiteral("\n") + facts);
}

void TfrmFrameOutput::CatchUp() {
    logHandOff_.Flush();
    sinkWindow_.Flush();
}

// The window always closes; a conversion under way is stopped first, and what it handed over
// meanwhile (its last lines, the cursor back) is shown.
TClosedRun TfrmFrameOutput::FormCloseQuery() {
    const TClosedRun closed = run_.Close();
    CatchUp();
    FFLogger.OnLog = nullptr;
    return closed;
}

// Closing during a conversion saves the frames so far under the usual name: the user is told so
// before the window goes.
void TfrmFrameOutput::closeEvent(QCloseEvent* event) {
    const TClosedRun closed = FormCloseQuery();
    const QString message = ClosedRunMessage(closed, run_.InputFileName());
    if (!message.isEmpty() && closingOnSignal_)
        std::cerr << QApplication::applicationName().toStdString() << ": " << message.toStdString()
                  << '\n';
    else if (!message.isEmpty())
        Dialogs().ShowMessage(
            this, closed.Failure.empty() ? QMessageBox::Information : QMessageBox::Warning,
            ApplicationTitle(), message);
    event->accept();
}

void TfrmFrameOutput::CloseOnSignal() {
    closingOnSignal_ = true;
    // dialogs over dialogs, each closed in turn (one that refuses stays)
    for (int open = 0; open < kMostNestedDialogs; ++open) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->close()) break;
    }
    close();
}
