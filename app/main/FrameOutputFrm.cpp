#include "app/main/FrameOutputFrm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/core/Settings.h"
#include "app/main/Globals.h"
#include "app/main/PreviewForm.h"
#include "app/main/QtSinkWindow.h"
#include "app/main/Skin.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"
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

TfrmFrameOutput::TfrmFrameOutput(const TProgramFiles& files, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), files_(files) {
    CreateComponents();
    ConnectHandlers();
    FFLogger.OnLog = [this](const void*, uint32_t threadId, TLogLevel level,
                            const std::string& message) { FFLoggerLog(threadId, level, message); };
    ConnectEncoder();
    FormCreate();
}

// A window that goes without having been closed stops its conversion all the same, before the
// sink and the adapter the conversion writes to go.
TfrmFrameOutput::~TfrmFrameOutput() { FormCloseQuery(); }

void TfrmFrameOutput::FormCreate() {
    setWindowTitle(ApplicationTitle());
    ReadSettings();
    LoadSkin();
    SetUpOpenDialog();
    previewForm_ = std::make_unique<TPreviewForm>();
    CentreOnScreen(*this);
    btnOpen->setFocus();
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
    update();
}

void TfrmFrameOutput::SetUpOpenDialog() {
    OpenDialog = new QFileDialog(this);
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog->setOption(QFileDialog::HideNameFilterDetails);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setSizeGripEnabled(true);
    const QStringList filters = NameFiltersOf(QString::fromLatin1(kOpenDialogFilter));
    OpenDialog->setNameFilters(filters);
    OpenDialog->selectNameFilter(filters.first());
}

// Every line counts, an empty first line too (the text edit's own append would fold it into the
// next line).
void TfrmFrameOutput::AppendLog(const QString& line) {
    QTextCursor cursor(mmoLog->document());
    cursor.movePosition(QTextCursor::End);
    if (logHasLines_) cursor.insertBlock();
    cursor.insertText(line);
    logHasLines_ = true;
    mmoLog->setTextCursor(cursor);
    mmoLog->ensureCursorVisible();
}

void TfrmFrameOutput::LogMessage(const QString& message) {
    AppendLog(QString());
    AppendLog(message);
    AppendLog(QString());
}

void TfrmFrameOutput::FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message) {
    AppendLog(QStringLiteral("#%1.%2: ")
                  .arg(threadId)
                  .arg(static_cast<int>(level))
                  .append(QString::fromUtf8(message.c_str())));
}

bool TfrmFrameOutput::EnsureLibraries() {
    if (FFEncoder.LibrariesLoaded()) return true;
    if (!FFEncoder.LoadLibraries(files_.LibraryFolder())) {
        AppendLog(QString::fromUtf8(FFEncoder.LastErrorMessage().c_str()));
        return false;
    }
    RegisterFrameOutputFormats();
    return true;
}

void TfrmFrameOutput::btnOpenClick() {
    if (!EnsureLibraries()) return;
    const QString fileName = Dialogs().ChooseFile(*OpenDialog);
    if (fileName.isEmpty()) return;
    OpenInputFile(fileName);
}

void TfrmFrameOutput::OpenDroppedFile(const QString& fileName) {
    if (!EnsureLibraries()) return;
    OpenInputFile(fileName);
}

void TfrmFrameOutput::OpenInputFile(const QString& fileName) {
    inputFileName_ = fileName;
    // The task and conversion of an earlier file go as soon as another is chosen, whatever
    // becomes of this one: Start never converts a file other than the one shown.
    conversion_.reset();
    FFEncoder.ClearTasks();
    ShowInputName(fileName);
    btnStart->setEnabled(true);
    btnStart->setFocus();
    TFFDecoder& decoder = FFEncoder.Decoder();
    TCloseFileAtEnd closeFile(decoder);
    if (!decoder.LoadFile(fileName.toStdString())) {
        LogMessage(QStringLiteral("***File load error: ") +
                   QString::fromUtf8(decoder.LastErrorMessage().c_str()));
        return;
    }
    RunOptionsDialog();
}

void TfrmFrameOutput::RunOptionsDialog() {
    if (!frmOption_) frmOption_ = new TfrmOption(this);
    frmOption_->Prepare(FFEncoder.Decoder());
    if (Dialogs().ShowModal(*frmOption_) != QDialog::Accepted) return;
    TConversion conversion;
    conversion.Output = frmOption_->BuildOutputOptions();
    conversion.Input = frmOption_->BuildInputOptions();
    conversion.PlayAtClipSpeed = frmOption_->PlayAtClipSpeed();
    conversion.Optimize = frmOption_->OptimizeOutput();
    conversion_ = conversion;
    AddConversion(conversion);
}

void TfrmFrameOutput::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}
