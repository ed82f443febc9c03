// The main window's face: its components and where they sit, painting from the skin, moving
// the window by its face, and files dropped on it.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>

#include "app/main/FrameOutputFrm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/Palette.h"

namespace {

constexpr int kLogLimit = 20000;  // lines kept in the log

const char* const kLogStyle =
    "QPlainTextEdit { background: #161a22; color: #c8ced8; border: none;"
    "  selection-background-color: #ff8a3d; selection-color: #1a1f29; }"
    "QScrollBar:vertical { background: #161a22; width: 8px; margin: 2px 0 2px 0; }"
    "QScrollBar::handle:vertical { background: #3a4356; border-radius: 3px; min-height: 24px;"
    "  margin: 0 1px 0 1px; }"
    "QScrollBar::handle:vertical:hover { background: #4a5570; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";

const char* const kCheckBoxStyle = "QCheckBox { color: white; spacing: 6px; }";

QLabel* MakeFaceLabel(const QString& caption, QWidget* parent, const QRect& place,
                      const QColor& colour) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(place);
    QPalette text = label->palette();
    text.setColor(QPalette::WindowText, colour);
    label->setPalette(text);
    return label;
}

TImageButton* MakeButton(const char* caption, QWidget* parent, int left, bool enabled) {
    auto* button = new TImageButton(QString::fromLatin1(caption), parent);
    button->setGeometry(left, 56, 90, 28);
    button->setEnabled(enabled);
    return button;
}

TImageButton* MakeTitleButton(TButtonGlyph glyph, const QString& tip, QWidget* parent, int left) {
    auto* button = new TImageButton(QString(), parent);
    button->SetGlyph(glyph);
    button->setToolTip(tip);
    button->setGeometry(left, 6, 19, 19);
    return button;
}

}  // namespace

void TfrmFrameOutput::CreateComponents() {
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setAcceptDrops(true);

    Label1 = MakeFaceLabel(QStringLiteral("Input File:"), this, QRect(40, 110, 62, 16),
                           facecolors::Caption);
    txtInput =
        MakeFaceLabel(QStringLiteral("..."), this, QRect(104, 110, 633, 16), facecolors::Caption);
    lblStatus =
        MakeFaceLabel(QStringLiteral("Status"), this, QRect(24, 333, 713, 16), facecolors::LogText);

    mmoLog = new QPlainTextEdit(this);
    mmoLog->setGeometry(24, 144, 713, 169);
    mmoLog->setReadOnly(true);
    mmoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mmoLog->setMaximumBlockCount(kLogLimit);
    QFont logFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    logFont.setPointSize(9);
    mmoLog->setFont(logFont);
    mmoLog->setStyleSheet(QString::fromLatin1(kLogStyle));

    CreateButtons();

    chkPreview = new QCheckBox(QStringLiteral("Preview while encoding"), this);
    chkPreview->setGeometry(544, 62, 190, 19);
    chkPreview->setChecked(true);
    chkPreview->setStyleSheet(QString::fromLatin1(kCheckBoxStyle));

    CreateHelpMenu();
}

void TfrmFrameOutput::CreateButtons() {
    btnOpen = MakeButton("Input", this, 24, true);
    btnStart = MakeButton("Start", this, 120, false);
    btnStart->SetAccent(true);
    btnStop = MakeButton("Stop", this, 216, false);
    btnPause = MakeButton("Pause", this, 312, false);
    btnResume = MakeButton("Resume", this, 408, false);
    ButtonMin = MakeTitleButton(TButtonGlyph::Minimise, QStringLiteral("Minimize"), this, 685);
    ButtonHelp = MakeTitleButton(TButtonGlyph::Help, QStringLiteral("Help"), this, 709);
    ButtonClose = MakeTitleButton(TButtonGlyph::Close, QStringLiteral("Close"), this, 733);
}

void TfrmFrameOutput::ConnectHandlers() {
    connect(btnOpen, &QAbstractButton::clicked, this,
            [this] { RunHandler(this, [this] { btnOpenClick(); }); });
    connect(btnStart, &QAbstractButton::clicked, this,
            [this] { RunHandler(this, [this] { btnStartClick(); }); });
    connect(btnStop, &QAbstractButton::clicked, this,
            [this] { RunHandler(this, [this] { btnStopClick(); }); });
    connect(btnPause, &QAbstractButton::clicked, this,
            [this] { RunHandler(this, [this] { btnPauseClick(); }); });
    connect(btnResume, &QAbstractButton::clicked, this,
            [this] { RunHandler(this, [this] { btnResumeClick(); }); });
    connect(chkPreview, &QCheckBox::clicked, this, [this] { chkPreviewClick(); });
    connect(ButtonMin, &QAbstractButton::clicked, this, [this] { ButtonMinClick(); });
    connect(ButtonHelp, &QAbstractButton::clicked, this, [this] { ButtonHelpClick(); });
    connect(ButtonClose, &QAbstractButton::clicked, this, [this] { ButtonCloseClick(); });
}

void TfrmFrameOutput::ShowInputName(const QString& fileName) {
    txtInput->setToolTip(fileName);
    txtInput->setText(
        txtInput->fontMetrics().elidedText(fileName, Qt::ElideMiddle, txtInput->width()));
}

void TfrmFrameOutput::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!skin_.isNull()) {
        painter.drawImage(0, 0, skin_);
        return;
    }
    painter.fillRect(rect(), facecolors::Face);
}

void TfrmFrameOutput::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void TfrmFrameOutput::mouseMoveEvent(QMouseEvent* event) {
    if (!dragOffset_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - *dragOffset_);
    event->accept();
}

void TfrmFrameOutput::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

namespace {

// The first local file among the dropped items, or an empty text.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return QString();
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return QString();
}

}  // namespace

void TfrmFrameOutput::dragEnterEvent(QDragEnterEvent* event) {
    if (btnOpen->isEnabled() && !DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// The drop is finished before the file is opened, so the program the file came from is not
// kept waiting while the options dialog is open.
void TfrmFrameOutput::dropEvent(QDropEvent* event) {
    const QString fileName = DroppedFile(event->mimeData());
    if (!btnOpen->isEnabled() || fileName.isEmpty()) return;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, fileName] {
        RunHandler(this, [this, fileName] { OpenDroppedFile(fileName); });
    });
}
