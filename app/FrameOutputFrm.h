#pragma once
// TfrmFrameOutput: the program's main window. A borderless face painted from the skin picture,
// with the Input, Start, Stop, Pause and Resume buttons, the chosen file, the log, a status line
// and the title strip's minimise, help and close buttons. Input (or a file dropped on the
// window) loads the media libraries when needed, loads the chosen file and runs the output
// options dialog on it.
//
// The components are public, as the window's parts that its handlers and tests reach.
#include <QImage>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/EncoderStandIn.h"
#include "app/ProgramFiles.h"
#include "engine/log/FFLog.h"

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
    TEncoderStandIn FFEncoder;
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

    // Event handlers.
    void FormCreate();
    void FormCloseQuery();
    void btnOpenClick();
    void chkPreviewClick();
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

    TProgramFiles files_;
    QImage skin_;
    std::unique_ptr<TPreviewForm> previewForm_;
    TfrmOption* frmOption_ = nullptr;
    QString inputFileName_;
    bool logHasLines_ = false;
    // Where the face was grabbed, relative to the window, while it is dragged.
    std::optional<QPoint> dragOffset_;
};

// The open dialog's name filters ("Video Files (*.3GP *.ASF ...)") from a filter text.
QStringList NameFiltersOf(const QString& filter);
