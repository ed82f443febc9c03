#pragma once
// TMainWindowFace: the face of the borderless main window, a widget that fills it. It is
// painted from the skin picture (plainly without one) and carries the components where they
// sit: "Input File:" with the chosen file, the log, the status line, the Input, Start, Stop,
// Pause and Resume buttons, "Preview while encoding", and the title strip's minimise, help and
// close buttons with the help menu. At the right of the status line a progress bar shows the
// share done while converting, and after a conversion the result line shows the GIF made with
// "Show in folder" and "Copy GIF". Dragging the face moves the window, and files may be
// dropped on it while Input is enabled.
//
// The components are its own: the window shows its state through the operations below and
// hears of the user's clicks, the check box and dropped files through TFaceOwner.
#include <QImage>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "app/main/RunPhase.h"

class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class TImageButton;

// The face's buttons the window acts on.
enum class TFaceButton { Input, Start, Stop, Pause, Resume, ShowInFolder, CopyGif };

// What the face asks of the window it belongs to.
class TFaceOwner {
public:
    virtual void FaceButtonClicked(TFaceButton button) = 0;
    // "Preview while encoding" was checked or unchecked.
    virtual void PreviewWhileEncodingChanged(bool on) = 0;
    // Local files were dropped on the face, in the order of the drop; the drop itself is over
    // by then.
    virtual void FilesDropped(const QStringList& fileNames) = 0;

protected:
    ~TFaceOwner() = default;
};

class TMainWindowFace : public QWidget {
public:
    // Lines the log keeps.
    static constexpr int kLogLines = 20000;

    // Fills `window`, whose size it takes.
    TMainWindowFace(QWidget& window, TFaceOwner& owner);

    // The picture the face is painted from; a null picture gives the plain face.
    void SetSkin(const QImage& skin);
    // The chosen file, shortened in the middle to fit; the whole name in the tool tip.
    void ShowInputName(const QString& fileName);
    // A task is ready: Start is enabled and takes the focus.
    void OfferStart();
    // No task is ready: Start is disabled.
    void WithdrawStart();
    void FocusInput();
    void ShowRunPhase(TRunPhase phase);
    // The status line; a text too long for the room left beside the progress bar or the
    // result line is shortened at its end, the whole text in the tool tip.
    void ShowStatus(const QString& text);
    // The progress bar at `percent` with `text` on it; a negative share hides it.
    void ShowProgress(int percent, const QString& text);
    // The result line with the GIF's name (shortened in the middle when the line has no room
    // for it) and its facts, and its actions; an empty name hides it.
    void ShowResult(const QString& fileName, const QString& facts, const QString& toolTip);
    void AppendLog(const QString& line);
    bool PreviewWhileEncoding() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateComponents();
    void CreateLog();
    void CreateButtons();
    void ConnectHandlers();
    void CreateResultLine();
    void SetRunButtons(bool input, bool start, bool stop, bool pause, bool resume);
    // The status line's width: up to what shows at its right. The result line takes the room
    // the status line's text leaves.
    void FitStatus();
    void ButtonMinClick();
    void ButtonHelpClick();
    void ButtonCloseClick();

    TFaceOwner& owner_;
    QImage skin_;
    bool logHasLines_ = false;
    QString statusText_;
    QString resultName_;
    QString resultFacts_;
    // Where the face was grabbed, relative to the window, while it is dragged.
    std::optional<QPoint> dragOffset_;

    QLabel* Label1;
    QLabel* txtInput;
    QLabel* lblStatus;
    QProgressBar* prgConversion;
    QLabel* lblResult;
    TImageButton* btnShowInFolder;
    TImageButton* btnCopyGif;
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
    QMenu* PopupMenuHelp;
};
