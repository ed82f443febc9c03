#pragma once
// TfrmFrameOutput: the program's main window. A borderless face painted from the skin picture,
// with the Input, Start, Stop, Pause and Resume buttons, the chosen file, the log, a status line
// and the title strip's minimise, help and close buttons. Input (or a file dropped on the
// window) loads the media libraries when needed, loads the chosen file and runs the output
// options dialog on it.
//
// Start runs the conversion the options dialog set up on a worker thread; Stop, Pause and
// Resume control it, and the buttons follow the run as the encoder reports it. The frames go
// through the frame sink into the GIF beside the input. Once a conversion is complete the
// preview window plays the GIF it made (while "Preview while encoding" is checked), until the
// next conversion starts or the window closes.
//
// The components are public, as the window's parts that its handlers and tests reach.
#include <QImage>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/core/FrameSink.h"
#include "app/main/ProgramFiles.h"
#include "app/main/QtSinkWindow.h"
#include "engine/encoder/FFEncode.h"
#include "engine/log/FFLog.h"
#include "engine/output/FrameOutput.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class TImageButton;
class TPreviewForm;
class TfrmOption;

class TfrmFrameOutput : public QWidget {
public:
    static constexpr int kClientWidth = 760;
    static constexpr int kClientHeight = 366;
    // The open dialog's filter: description and patterns, in pairs separated by '|'.
    static const char* const kOpenDialogFilter;

    explicit TfrmFrameOutput(const TProgramFiles& files, QWidget* parent = nullptr);
    ~TfrmFrameOutput() override;

    QLabel* Label1;
    QLabel* txtInput;
    QLabel* lblStatus;
    QPlainTextEdit* mmoLog;
    TImageButton* btnOpen;
    TImageButton* btnStart;
    TImageButton* btnStop;
    TImageButton* btnPause;
    TImageButton* btnResume;
    QCheckBox* chkPreview;
    TImageButton* ButtonMin;
    TImageButton* ButtonHelp;
    TImageButton* ButtonClose;
    QFileDialog* OpenDialog;
    QMenu* PopupMenuHelp;
    TFFEncoder FFEncoder;
    TFrameOutputAdapter FOA;
    TFFLogger FFLogger;

    // The help menu's items, in menu order (separators left out).
    QAction* mnuHelpContent;
    QAction* mnuHowTos;
    QAction* mnuHomePage;
    QAction* mnuMoreFreeTools;
    QAction* mnuCheckForUpdates;
    QAction* mnuSupport;
    QAction* mnuAbout;

    // The file chosen with Input or dropped on the window (empty before).
    const QString& InputFileName() const { return inputFileName_; }
    // The skin picture the face is painted from (null when it could not be loaded).
    const QImage& SkinPicture() const { return skin_; }
    TPreviewForm* PreviewWindow() const { return previewForm_.get(); }
    // Made on first use.
    TfrmOption* OptionDialog() const { return frmOption_; }
    // The frame sink: the GIF document and its frames, bound to FOA.
    TFrameSink& FrameSink() { return sink_; }

    // Event handlers.
    void FormCreate();
    void FormCloseQuery();
    void btnOpenClick();
    void btnStartClick();
    void btnStopClick();
    void btnPauseClick();
    void btnResumeClick();
    void chkPreviewClick();
    void FFEncoderPreviewBitmap(const TPreviewInfo& APreviewInfo);
    void FFEncoderProgress(PProgressInfo AProgressInfo);
    void FFEncoderTerminate(const TTerminateInfo& ATerminateInfo);
    void FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message);
    void ButtonMinClick();
    void ButtonHelpClick();
    void ButtonCloseClick();

    // What Input does once a file is chosen: shows it, loads it and runs the options dialog.
    void OpenInputFile(const QString& fileName);
    // Input's way for a file dropped on the window: libraries, then the file.
    void OpenDroppedFile(const QString& fileName);

    // A log line / a message of the window (an empty line, the message, an empty line).
    void AppendLog(const QString& line);
    void LogMessage(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A conversion as the options dialog set it up: the task's option records and what the
    // sink makes of the frames.
    struct TConversion {
        TInputOptions Input;
        TOutputOptions Output;
        bool PlayAtClipSpeed = true;
        bool Optimize = false;
    };

    void CreateComponents();
    void CreateButtons();
    void CreateHelpMenu();
    void ConnectHandlers();
    void ReadSettings();
    void LoadSkin();
    void SetUpOpenDialog();
    bool EnsureLibraries();
    void ShowInputName(const QString& fileName);
    void RunOptionsDialog();
    void ConnectEncoder();
    // Adds the task of the conversion to the encoder, with FOA as its output; logs the outcome.
    void AddConversion(const TConversion& conversion);
    // Makes the encoder ready for a new run: after an ended run its tasks are cleared and the
    // last conversion is added again.
    void PrepareRun();
    void SetRunButtons(bool input, bool start, bool stop, bool pause, bool resume);
    // After a run in which every task completed: the GIF made plays in the preview window.
    void PlayResult();
    void PlacePreviewWindow();

    TProgramFiles files_;
    QImage skin_;
    std::unique_ptr<TPreviewForm> previewForm_;
    TfrmOption* frmOption_ = nullptr;
    QString inputFileName_;
    // The conversion of the file chosen last, once the options dialog set one up.
    std::optional<TConversion> conversion_;
    // The run under way: its output has begun (set on the conversion's thread), the tasks that
    // have ended and those of them that completed, and the GIF it saved (empty: none yet).
    std::atomic<bool> outputStarted_{false};
    int runTasksEnded_ = 0;
    int runTasksCompleted_ = 0;
    std::string runOutput_;
    TQtSinkWindow sinkWindow_{*this};
    TFrameSink sink_{sinkWindow_};
    bool previewPlaced_ = false;
    bool logHasLines_ = false;
    // Where the face was grabbed, relative to the window, while it is dragged.
    std::optional<QPoint> dragOffset_;
};

// The open dialog's name filters ("Video Files (*.3GP *.ASF ...)") from a filter text.
QStringList NameFiltersOf(const QString& filter);
