#pragma once
// TfrmFrameOutput: the program's main window, borderless, with the face painted from the skin
// picture. Input (or files dropped on the window) loads the media libraries when needed, loads
// the chosen file and runs the output options dialog on it (a file that cannot be loaded or has
// no video is reported at once and changes nothing); Start, enabled only while a task is ready,
// Stop, Pause and Resume run the conversion it set up, of every dropped file in turn. The
// dialog's choices are kept in the settings file from one run of the program to the next.
//
// The window owns its parts and wires them together; each part knows only the small interface
// through which it reports back:
//   - the face (TMainWindowFace): the components, the skin, dragging and dropping;
//   - the conversion (TConversionControl): encoder, frame sink, run state, preview window;
//   - the sink window (TQtSinkWindow) and the log hand-off (TLogHandOff): what the
//     conversion's threads show, handed to the GUI thread without waiting for it.
// Every line of the log (the engine's, the sink's and the window's own) goes through the log
// hand-off, so the log keeps one order. The engine's lines of the samples that estimate a GIF
// (for the options dialog, or to fit a size limit) are left out.
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <string>

#include "app/core/QuietThreads.h"
#include "app/main/ConversionControl.h"
#include "app/main/LogHandOff.h"
#include "app/main/MainWindowFace.h"
#include "app/main/ProgramFiles.h"
#include "app/main/QtSinkWindow.h"
#include "engine/log/FFLog.h"

class QFileDialog;
class TfrmOption;

class TfrmFrameOutput : public QWidget,
                        private TFaceOwner,
                        private TSinkWindowOwner,
                        private TConversionOwner {
public:
    static constexpr int kClientWidth = 760;
    static constexpr int kClientHeight = 366;
    // The open dialog's filter: description and patterns, in pairs separated by '|'.
    static const char* const kOpenDialogFilter;

    explicit TfrmFrameOutput(const TProgramFiles& files, QWidget* parent = nullptr);
    ~TfrmFrameOutput() override;

    // The file chosen with Input or dropped on the window (empty before).
    const QString& InputFileName() const { return inputFileName_; }
    // The skin picture the face is painted from (null when it could not be loaded).
    const QImage& SkinPicture() const { return skin_; }
    TPreviewForm* PreviewWindow() const { return run_.PreviewWindow(); }
    // Made on first use.
    TfrmOption* OptionDialog() const { return frmOption_; }
    TFFEncoder& Encoder() { return run_.Encoder(); }
    TFrameSink& FrameSink() { return run_.FrameSink(); }
    // The GIF the runs saved last (an empty name before any).
    const TConversionResult& LastResult() const { return run_.LastResult(); }
    // The application's engine logger, whose lines the log shows.
    const TFFLogger& Logger() const { return FFLogger; }

    // Event handlers. FormCloseQuery stops a conversion under way and tells what became of it.
    void FormCreate();
    TClosedRun FormCloseQuery();
    void btnOpenClick();
    void btnStartClick() { run_.Start(); }
    void btnStopClick() { run_.Stop(); }
    void btnPauseClick() { run_.Pause(); }
    void btnResumeClick() { run_.Resume(); }
    // Any thread.
    void FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message);

    // What Input does once a file is chosen: loads it and, when it has video, shows it and
    // runs the options dialog. Of several files the first that can be converted opens the
    // dialog and the files after it are converted after it with the same options.
    void OpenInputFiles(const QStringList& fileNames);
    void OpenInputFile(const QString& fileName) { OpenInputFiles({fileName}); }
    // Input's way for files dropped on the window: libraries, then the files.
    void OpenDroppedFiles(const QStringList& fileNames);

    // Closes the window as its close button does, for a stop signal: a dialog open meanwhile is
    // cancelled, and what became of a conversion under way goes to stderr instead of a message
    // box, since nobody may be there to answer one.
    void CloseOnSignal();

    // A log line / a message of the window (an empty line, the message, an empty line).
    void AppendLog(const QString& line);
    void LogMessage(const QString& message) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ReadSettings();
    void LoadSkin();
    void SetUpOpenDialog();
    bool EnsureLibraries();
    // Loads the file into the decoder and checks it has video; false (reported) when not.
    bool LoadConvertible(const QString& fileName);
    void RunOptionsDialog(const QStringList& fileNames);
    void RememberChoices();

    // TFaceOwner
    void FaceButtonClicked(TFaceButton button) override;
    void PreviewWhileEncodingChanged(bool on) override;
    void FilesDropped(const QStringList& fileNames) override;
    // TSinkWindowOwner
    void ShowPreviewFrame(const QImage& picture, int frameNumber) override;
    void RevealPreview() override;
    // TConversionOwner
    void ShowRunPhase(TRunPhase phase) override;
    void ShowStatus(const QString& text) override;
    void ShowProgress(int percent, const QString& text) override;
    void ShowResult(const TConversionResult* result) override;
    void CatchUp() override;

    TFFLogger FFLogger;
    TProgramFiles files_;
    QImage skin_;
    // Children of the window.
    TMainWindowFace* face_ = nullptr;
    QFileDialog* openDialog_ = nullptr;
    TfrmOption* frmOption_ = nullptr;
    QString inputFileName_;
    // The threads that estimate GIFs, whose engine lines the log leaves out.
    TQuietThreads quietThreads_;
    TLogHandOff logHandOff_;
    TQtSinkWindow sinkWindow_;
    TConversionControl run_;
    bool closingOnSignal_ = false;
};

// The open dialog's name filters ("Video Files (*.3GP *.ASF ...)") from a filter text.
QStringList NameFiltersOf(const QString& filter);
