#include "app/main/MainWindowFace.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>

#include "app/main/HelpMenu.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/Palette.h"

namespace {

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

const char* const kProgressStyle =
    "QProgressBar { background: #161a22; border: 1px solid #333b4c; border-radius: 4px;"
    "  color: #e6e9ef; text-align: center; }"
    "QProgressBar::chunk { background: #c7682b; border-radius: 3px; }";

// The status row: the status line from the left, the progress bar or the result line's
// buttons at the right.
constexpr int kStatusTop = 333;
constexpr int kStatusLeft = 24;
constexpr int kRowRight = 737;
constexpr int kGap = 10;
// Characters of the result's name the status leaves room for.
constexpr int kLeastNameShown = 6;
const QRect kProgressPlace(kRowRight - 220, kStatusTop, 220, 16);
const QRect kCopyGifPlace(kRowRight - 76, kStatusTop - 4, 76, 24);
const QRect kShowInFolderPlace(kCopyGifPlace.left() - 6 - 104, kStatusTop - 4, 104, 24);

QLabel* MakeFaceLabel(const char* name, const QString& caption, QWidget* parent, const QRect& place,
                      const QColor& colour) {
    auto* label = Named(name, new QLabel(caption, parent));
    label->setGeometry(place);
    QPalette text = label->palette();
    text.setColor(QPalette::WindowText, colour);
    label->setPalette(text);
    return label;
}

TImageButton* MakeButton(const char* name, const char* caption, QWidget* parent, int left,
                         bool enabled) {
    auto* button = Named(name, new TImageButton(QString::fromLatin1(caption), parent));
    button->setGeometry(left, 56, 90, 28);
    button->setEnabled(enabled);
    return button;
}

TImageButton* MakeTitleButton(const char* name, TButtonGlyph glyph, const QString& tip,
                              QWidget* parent, int left) {
    auto* button = Named(name, new TImageButton(QString(), parent));
    button->SetGlyph(glyph);
    button->setToolTip(tip);
    button->setGeometry(left, 6, 19, 19);
    return button;
}

// The local files among the dropped items, in order.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

}  // namespace

TMainWindowFace::TMainWindowFace(QWidget& window, TFaceOwner& owner)
    : QWidget(&window), owner_(owner) {
    setObjectName(QStringLiteral("Face"));
    setGeometry(0, 0, window.width(), window.height());
    setAcceptDrops(true);
    CreateComponents();
    ConnectHandlers();
}

void TMainWindowFace::CreateComponents() {
    Label1 = MakeFaceLabel("Label1", QStringLiteral("Input File:"), this, QRect(40, 110, 62, 16),
                           facecolors::Caption);
    txtInput = MakeFaceLabel("txtInput", QStringLiteral("..."), this, QRect(104, 110, 633, 16),
                             facecolors::Caption);
    lblStatus = MakeFaceLabel("lblStatus", QStringLiteral("Status"), this,
                              QRect(kStatusLeft, kStatusTop, kRowRight - kStatusLeft, 16),
                              facecolors::LogText);
    statusText_ = lblStatus->text();
    CreateLog();
    CreateButtons();
    CreateResultLine();
    chkPreview = Named("chkPreview", new QCheckBox(QStringLiteral("Preview while encoding"), this));
    chkPreview->setGeometry(544, 62, 190, 19);
    chkPreview->setChecked(true);
    chkPreview->setStyleSheet(QString::fromLatin1(kCheckBoxStyle));
    PopupMenuHelp = MakeHelpMenu(*this);
}

void TMainWindowFace::CreateLog() {
    mmoLog = Named("mmoLog", new QPlainTextEdit(this));
    mmoLog->setGeometry(24, 144, 713, 169);
    mmoLog->setReadOnly(true);
    mmoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mmoLog->setMaximumBlockCount(kLogLines);
    QFont logFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    logFont.setPointSize(9);
    mmoLog->setFont(logFont);
    mmoLog->setStyleSheet(QString::fromLatin1(kLogStyle));
}

void TMainWindowFace::CreateButtons() {
    btnOpen = MakeButton("btnOpen", "Input", this, 24, true);
    btnStart = MakeButton("btnStart", "Start", this, 120, false);
    btnStart->SetAccent(true);
    btnStop = MakeButton("btnStop", "Stop", this, 216, false);
    btnPause = MakeButton("btnPause", "Pause", this, 312, false);
    btnResume = MakeButton("btnResume", "Resume", this, 408, false);
    ButtonMin =
        MakeTitleButton("ButtonMin", TButtonGlyph::Minimise, QStringLiteral("Minimize"), this, 685);
    ButtonHelp =
        MakeTitleButton("ButtonHelp", TButtonGlyph::Help, QStringLiteral("Help"), this, 709);
    ButtonClose =
        MakeTitleButton("ButtonClose", TButtonGlyph::Close, QStringLiteral("Close"), this, 733);
}

void TMainWindowFace::CreateResultLine() {
    prgConversion = Named("prgConversion", new QProgressBar(this));
    prgConversion->setGeometry(kProgressPlace);
    prgConversion->setRange(0, 100);
    prgConversion->setStyleSheet(QString::fromLatin1(kProgressStyle));
    prgConversion->hide();
    lblResult = MakeFaceLabel("lblResult", QString(), this, QRect(), facecolors::Caption);
    lblResult->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblResult->hide();
    btnShowInFolder =
        Named("btnShowInFolder", new TImageButton(QStringLiteral("Show in folder"), this));
    btnShowInFolder->setGeometry(kShowInFolderPlace);
    btnShowInFolder->hide();
    btnCopyGif = Named("btnCopyGif", new TImageButton(QStringLiteral("Copy GIF"), this));
    btnCopyGif->setGeometry(kCopyGifPlace);
    btnCopyGif->hide();
}

void TMainWindowFace::ConnectHandlers() {
    const struct {
        TImageButton* Button;
        TFaceButton Meaning;
    } runButtons[] = {
        {btnOpen, TFaceButton::Input},     {btnStart, TFaceButton::Start},
        {btnStop, TFaceButton::Stop},      {btnPause, TFaceButton::Pause},
        {btnResume, TFaceButton::Resume},  {btnShowInFolder, TFaceButton::ShowInFolder},
        {btnCopyGif, TFaceButton::CopyGif}};
    for (const auto& row : runButtons) {
        const TFaceButton meaning = row.Meaning;
        connect(row.Button, &QAbstractButton::clicked, this,
                [this, meaning] { owner_.FaceButtonClicked(meaning); });
    }
    connect(chkPreview, &QCheckBox::toggled, this,
            [this](bool on) { owner_.PreviewWhileEncodingChanged(on); });
    connect(ButtonMin, &QAbstractButton::clicked, this, [this] { ButtonMinClick(); });
    connect(ButtonHelp, &QAbstractButton::clicked, this, [this] { ButtonHelpClick(); });
    connect(ButtonClose, &QAbstractButton::clicked, this, [this] { ButtonCloseClick(); });
}

void TMainWindowFace::SetSkin(const QImage& skin) {
    skin_ = skin;
    update();
}

void TMainWindowFace::ShowInputName(const QString& fileName) {
    txtInput->setToolTip(fileName);
    txtInput->setText(
        txtInput->fontMetrics().elidedText(fileName, Qt::ElideMiddle, txtInput->width()));
}

void TMainWindowFace::OfferStart() {
    btnStart->setEnabled(true);
    btnStart->setFocus();
}

void TMainWindowFace::WithdrawStart() { btnStart->setEnabled(false); }

void TMainWindowFace::FocusInput() { btnOpen->setFocus(); }

void TMainWindowFace::ShowRunPhase(TRunPhase phase) {
    switch (phase) {
        case TRunPhase::Started:
            SetRunButtons(false, false, true, true, false);
            btnStop->setFocus();
            break;
        case TRunPhase::Choosing:
            btnPause->setEnabled(false);
            btnResume->setEnabled(false);
            break;
        case TRunPhase::Paused:
            btnPause->setEnabled(false);
            btnResume->setEnabled(true);
            break;
        case TRunPhase::Resumed:
            btnPause->setEnabled(true);
            btnResume->setEnabled(false);
            break;
        case TRunPhase::Stopping:
            btnStop->setEnabled(false);
            break;
        case TRunPhase::Ended:
            SetRunButtons(true, true, false, false, false);
            break;
    }
}

void TMainWindowFace::SetRunButtons(bool input, bool start, bool stop, bool pause, bool resume) {
    btnOpen->setEnabled(input);
    btnStart->setEnabled(start);
    btnStop->setEnabled(stop);
    btnPause->setEnabled(pause);
    btnResume->setEnabled(resume);
}

void TMainWindowFace::ShowStatus(const QString& text) {
    statusText_ = text;
    FitStatus();
}

void TMainWindowFace::ShowProgress(int percent, const QString& text) {
    prgConversion->setVisible(percent >= 0);
    if (percent >= 0) {
        prgConversion->setValue(percent);
        prgConversion->setFormat(text);
    }
    FitStatus();
}

void TMainWindowFace::ShowResult(const QString& fileName, const QString& facts,
                                 const QString& toolTip) {
    resultName_ = fileName;
    resultFacts_ = facts;
    lblResult->setToolTip(toolTip);
    for (QWidget* part : {static_cast<QWidget*>(lblResult), static_cast<QWidget*>(btnShowInFolder),
                          static_cast<QWidget*>(btnCopyGif)})
        part->setVisible(!fileName.isEmpty());
    FitStatus();
}

void TMainWindowFace::FitStatus() {
    const QFontMetrics metrics = lblStatus->fontMetrics();
    int right = kRowRight;
    if (!prgConversion->isHidden()) right = kProgressPlace.left() - kGap;
    if (!lblResult->isHidden()) {
        // The status keeps its text whole up to half the row, and less where the result's
        // facts and the start of its name would not fit beside it; the result takes the rest.
        const QString separator = QStringLiteral("  ");
        const int resultNeeds = metrics.horizontalAdvance(separator + resultFacts_) +
                                metrics.horizontalAdvance(resultName_.left(kLeastNameShown)) +
                                metrics.horizontalAdvance(QStringLiteral("\u2026"));
        const int row = kShowInFolderPlace.left() - kGap - kStatusLeft - 2 * kGap;
        const int statusRoom =
            std::min({metrics.horizontalAdvance(statusText_) + kGap / 2,
                      (kRowRight - kStatusLeft) / 2, std::max(row - resultNeeds, 0)});
        right = kStatusLeft + statusRoom;
        const int resultLeft = right + 2 * kGap;
        const int resultWidth = std::max(kShowInFolderPlace.left() - kGap - resultLeft, 0);
        lblResult->setGeometry(resultLeft, kStatusTop, resultWidth, 16);
        const int nameRoom = resultWidth - metrics.horizontalAdvance(separator + resultFacts_);
        lblResult->setText(metrics.elidedText(resultName_, Qt::ElideMiddle, std::max(nameRoom, 0)) +
                           separator + resultFacts_);
    }
    lblStatus->setFixedWidth(std::max(right - kStatusLeft, 0));
    const QString shown = metrics.elidedText(statusText_, Qt::ElideRight, lblStatus->width());
    lblStatus->setText(shown);
    lblStatus->setToolTip(shown == statusText_ ? QString() : statusText_);
}

// Every line counts, an empty first line too (the text edit's own append would fold it into the
// next line).
void TMainWindowFace::AppendLog(const QString& line) {
    QTextCursor cursor(mmoLog->document());
    cursor.movePosition(QTextCursor::End);
    if (logHasLines_) cursor.insertBlock();
    cursor.insertText(line);
    logHasLines_ = true;
    mmoLog->setTextCursor(cursor);
    mmoLog->ensureCursorVisible();
}

bool TMainWindowFace::PreviewWhileEncoding() const { return chkPreview->isChecked(); }

void TMainWindowFace::ButtonMinClick() { window()->showMinimized(); }

void TMainWindowFace::ButtonHelpClick() {
    const QRect frame = window()->frameGeometry();
    PopupMenuHelp->popup(QPoint(frame.left() + ButtonHelp->x() + 2,
                                frame.top() + ButtonHelp->y() + ButtonHelp->height()));
}

void TMainWindowFace::ButtonCloseClick() { window()->close(); }

void TMainWindowFace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!skin_.isNull()) {
        painter.drawImage(0, 0, skin_);
        return;
    }
    painter.fillRect(rect(), facecolors::Face);
}

void TMainWindowFace::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    event->accept();
}

void TMainWindowFace::mouseMoveEvent(QMouseEvent* event) {
    if (!dragOffset_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    window()->move(event->globalPosition().toPoint() - *dragOffset_);
    event->accept();
}

void TMainWindowFace::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

void TMainWindowFace::dragEnterEvent(QDragEnterEvent* event) {
    if (btnOpen->isEnabled() && !DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// The drop is finished before the files are opened, so the program they came from is not kept
// waiting while the options dialog is open.
void TMainWindowFace::dropEvent(QDropEvent* event) {
    const QStringList fileNames = DroppedFiles(event->mimeData());
    if (!btnOpen->isEnabled() || fileNames.isEmpty()) return;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, fileNames] { owner_.FilesDropped(fileNames); });
}
