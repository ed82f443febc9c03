// The options dialog's components and where they sit: the file's information and the piece of
// the clip above, the choices of the GIF below in groups whose rows share one grid of labels
// and fields.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "app/core/DitherNames.h"
#include "app/core/FrameSizes.h"
#include "app/options/ByteSizeEdit.h"
#include "app/options/FrameImage.h"
#include "app/options/OptionFrm.h"
#include "app/options/TimeEdit.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/TrackBar.h"
#include "app/widgets/WindowPlacement.h"

namespace {

constexpr int kClientWidth = 701;
constexpr int kImageWidth = 220;
constexpr int kImageHeight = 145;
// The two columns of groups and the rows they stand in.
constexpr int kLeft = 8;
constexpr int kLeftWidth = 300;
constexpr int kRight = 316;
constexpr int kRightWidth = 377;
constexpr int kTopHeight = 236;
constexpr int kChoicesTop = kLeft + kTopHeight + 6;
constexpr int kChoicesHeight = 104;
constexpr int kLowerTop = kChoicesTop + kChoicesHeight + 6;
constexpr int kLowerHeight = 186;
constexpr int kButtonsTop = kLowerTop + kLowerHeight + 8;
constexpr int kClientHeight = kButtonsTop + 28 + 8;
// The width of the labels' column in the groups below, and of their fields.
constexpr int kLabelColumn = 96;
constexpr int kFieldWidth = 128;

// Times the animation repeats: "1 time", "3 times".
class TRepeatsSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override {
        return value == 1 ? QStringLiteral("1 time") : QStringLiteral("%1 times").arg(value);
    }
    int valueFromText(const QString& text) const override { return Digits(text).toInt(); }
    QValidator::State validate(QString& text, int&) const override {
        const QString digits = Digits(text);
        if (digits.isEmpty()) return QValidator::Intermediate;
        const QString rest = text.mid(digits.size()).trimmed();
        if (!rest.isEmpty() && !QStringLiteral("times").startsWith(rest))
            return QValidator::Invalid;
        const int value = digits.toInt();
        return value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                        : QValidator::Intermediate;
    }

private:
    static QString Digits(const QString& text) {
        qsizetype end = 0;
        while (end < text.size() && text[end].isDigit()) ++end;
        return text.left(end);
    }
};

QPushButton* MakeButton(const char* name, const char* caption, QWidget* parent,
                        const QRect& place) {
    auto* button = Named(name, new QPushButton(QString::fromLatin1(caption), parent));
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
}

TTimeEdit* MakeTimeEdit(const char* name, QWidget* parent, const QRect& place) {
    auto* edit = Named(name, new TTimeEdit(parent));
    edit->setAlignment(Qt::AlignCenter);
    edit->setGeometry(place);
    edit->setToolTip(QStringLiteral("Type a time as hh:mm:ss.fff or in seconds, then Enter"));
    return edit;
}

QGroupBox* MakeGroup(const char* name, const char* caption, QWidget* parent, const QRect& place) {
    auto* group = Named(name, new QGroupBox(QString::fromLatin1(caption), parent));
    group->setGeometry(place);
    return group;
}

// The grid of a group below: labels in the first column, fields after them.
QGridLayout* MakeGrid(QGroupBox* group) {
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(10, 6, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    grid->setColumnMinimumWidth(0, kLabelColumn);
    grid->setColumnStretch(2, 1);
    return grid;
}

QLabel* MakeLabel(const char* caption, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(buddy);
    return label;
}

}  // namespace

void TfrmOption::CreateComponents() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Output Options"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientWidth, kClientHeight);

    grpAVFileInfo = MakeGroup("grpAVFileInfo", "Source Media File Info", this,
                              QRect(kLeft, kLeft, kLeftWidth, kTopHeight));
    mmoAVFileInfo = Named("mmoAVFileInfo", new QPlainTextEdit(grpAVFileInfo));
    mmoAVFileInfo->setReadOnly(true);
    mmoAVFileInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoAVFileInfo->setGeometry(8, 20, kLeftWidth - 16, kTopHeight - 28);

    CreateCutClip();
    CreateFrameSize();
    CreateTiming();
    CreateSaveTo();
    CreateGif();

    btnOk = MakeButton("btnOk", "OK", this, QRect(508, kButtonsTop, 88, 28));
    btnOk->setDefault(true);
    btnCancel = MakeButton("btnCancel", "Cancel", this, QRect(605, kButtonsTop, 88, 28));

    CentreOnScreen(*this);
}

// The frame with its track bar and time at the left, the buttons that step and mark the piece
// in a column at the right.
void TfrmOption::CreateCutClip() {
    grpCutClip = MakeGroup("grpCutClip", "Cut a piece clip (seconds)", this,
                           QRect(kRight, kLeft, kRightWidth, kTopHeight));
    Image = Named("Image", new TFrameImage(kImageWidth, kImageHeight, grpCutClip));
    Image->move(10, 22);
    TrackBar = Named("TrackBar", new TTrackBar(grpCutClip));
    TrackBar->setGeometry(10, 171, kImageWidth, 30);
    TrackBar->setMaximum(10);
    lblPTS = Named("lblPTS", new QLabel(grpCutClip));
    lblPTS->setAlignment(Qt::AlignCenter);
    lblPTS->setGeometry(10, 205, kImageWidth, 18);

    constexpr int column = 242;
    constexpr int columnWidth = 125;
    btnPreviousFrame = MakeButton("btnPreviousFrame", "Previous Frame", grpCutClip,
                                  QRect(column, 20, columnWidth, 26));
    btnNextFrame =
        MakeButton("btnNextFrame", "Next Frame", grpCutClip, QRect(column, 50, columnWidth, 26));
    btnStartTime =
        MakeButton("btnStartTime", "Set Start", grpCutClip, QRect(column, 86, columnWidth, 26));
    edtStartTime = MakeTimeEdit("edtStartTime", grpCutClip, QRect(column, 114, columnWidth, 24));
    btnEndTime =
        MakeButton("btnEndTime", "Set End", grpCutClip, QRect(column, 146, columnWidth, 26));
    edtEndTime = MakeTimeEdit("edtEndTime", grpCutClip, QRect(column, 174, columnWidth, 24));
    chkCutClip = Named("chkCutClip", new QCheckBox(QStringLiteral("Cut Clip"), grpCutClip));
    chkCutClip->setGeometry(column, 205, columnWidth, 22);
}

// The size list, a width with the height following in its place, and whether the picture keeps
// its aspect ratio in the size chosen.
void TfrmOption::CreateFrameSize() {
    grpFrameSize = MakeGroup("grpFrameSize", " Frame Size", this,
                             QRect(kLeft, kChoicesTop, kLeftWidth, kChoicesHeight));
    cboFrameSize = Named("cboFrameSize", new QComboBox);
    for (const TFrameSizePreset& size : FrameSizePresets())
        cboFrameSize->addItem(QString::fromLatin1(size.ItemText));
    cboFrameSize->setCurrentIndex(0);
    cboFrameSize->setMaxVisibleItems(16);
    chkKeepAspect = Named("chkKeepAspect", new QCheckBox(QStringLiteral("Keep aspect ratio")));
    chkKeepAspect->setChecked(true);
    chkKeepAspect->setToolTip(
        QStringLiteral("The size is a box the picture fits into, so it is never stretched"));
    spnWidth = Named("spnWidth", new QSpinBox);
    spnWidth->setRange(0, 0xFFFF);
    spnWidth->setSpecialValueText(QStringLiteral("from the list"));
    spnWidth->setSuffix(QStringLiteral(" px"));
    spnWidth->setMinimumWidth(kFieldWidth);
    spnWidth->setToolTip(QStringLiteral(
        "Frame width; the height follows the clip's aspect ratio. In place of the size list."));

    QGridLayout* grid = MakeGrid(grpFrameSize);
    grid->addWidget(cboFrameSize, 0, 0, 1, 3);
    grid->addWidget(chkKeepAspect, 1, 0, 1, 3);
    grid->addWidget(MakeLabel("Width:", spnWidth), 2, 0);
    grid->addWidget(spnWidth, 2, 1);
}

// The frame rate, the clip's timing and how often the animation plays.
void TfrmOption::CreateTiming() {
    grpTiming = MakeGroup("grpTiming", "Timing", this,
                          QRect(kRight, kChoicesTop, kRightWidth, kChoicesHeight));
    spnFrameRate = Named("spnFrameRate", new QDoubleSpinBox);
    spnFrameRate->setRange(0, 50);
    spnFrameRate->setDecimals(2);
    spnFrameRate->setSingleStep(1);
    spnFrameRate->setSpecialValueText(QStringLiteral("Clip's own"));
    spnFrameRate->setSuffix(QStringLiteral(" fps"));
    spnFrameRate->setMinimumWidth(kFieldWidth);
    spnFrameRate->setToolTip(QStringLiteral(
        "Output frame rate, at most 50. Fewer frames per second give a smaller file and less "
        "fluid motion."));
    chkPlayAtClipSpeed =
        Named("chkPlayAtClipSpeed", new QCheckBox(QStringLiteral("Play at clip speed and loop")));
    chkPlayAtClipSpeed->setChecked(true);
    chkPlayAtClipSpeed->setToolTip(
        QStringLiteral("Each frame shows as long as in the clip, and the GIF plays in a loop"));
    cboLoop = Named("cboLoop", new QComboBox);
    cboLoop->addItems(
        {QStringLiteral("for ever"), QStringLiteral("once"), QStringLiteral("repeat")});
    cboLoop->setMinimumWidth(kFieldWidth);
    spnRepeats = Named("spnRepeats", new TRepeatsSpinBox);
    spnRepeats->setRange(1, 0xFFFF);
    spnRepeats->setMinimumWidth(kFieldWidth - 24);
    spnRepeats->setToolTip(QStringLiteral("Times the animation repeats after it played once"));

    QGridLayout* grid = MakeGrid(grpTiming);
    grid->addWidget(MakeLabel("Frame rate:", spnFrameRate), 0, 0);
    grid->addWidget(spnFrameRate, 0, 1);
    grid->addWidget(chkPlayAtClipSpeed, 1, 0, 1, 3);
    grid->addWidget(MakeLabel("Loop:", cboLoop), 2, 0);
    grid->addWidget(cboLoop, 2, 1);
    grid->addWidget(spnRepeats, 2, 2, Qt::AlignLeft);
}

// Beside the clip, or in a folder of the user's.
void TfrmOption::CreateSaveTo() {
    grpSaveTo =
        MakeGroup("grpSaveTo", "Save To", this, QRect(kLeft, kLowerTop, kLeftWidth, kLowerHeight));
    rdoBesideClip = Named("rdoBesideClip", new QRadioButton(QStringLiteral("Beside the clip")));
    rdoBesideClip->setChecked(true);
    rdoFolder = Named("rdoFolder", new QRadioButton(QStringLiteral("Folder:")));
    edtFolder = Named("edtFolder", new QLineEdit);
    edtFolder->setReadOnly(true);
    btnBrowse = Named("btnBrowse", new QPushButton(QStringLiteral("Browse...")));
    btnBrowse->setAutoDefault(false);
    QGridLayout* grid = MakeGrid(grpSaveTo);
    grid->setColumnMinimumWidth(0, 0);
    grid->addWidget(rdoBesideClip, 0, 0, 1, 3);
    grid->addWidget(rdoFolder, 1, 0);
    grid->addWidget(edtFolder, 1, 1, 1, 2);
    grid->addWidget(btnBrowse, 2, 1, 1, 2, Qt::AlignRight);
    grid->setRowStretch(3, 1);
}

// What the GIF is made of, the most bytes it may take, and under them the estimate of its size.
void TfrmOption::CreateGif() {
    grpGif = MakeGroup("grpGif", "GIF", this, QRect(kRight, kLowerTop, kRightWidth, kLowerHeight));
    cboColors = Named("cboColors", new QComboBox);
    cboColors->addItem(QStringLiteral("Fitted to each frame"));
    cboColors->addItem(QStringLiteral("Octree, every frame whole"));
    cboColors->setMinimumWidth(kFieldWidth);
    cboColors->setToolTip(QStringLiteral(
        "Fitted: a palette fitted to what changed in each frame, only the changed pixels stored "
        "(smaller files, no bands). Octree: every frame whole, 236 octree and 20 system colours"));
    spnQuality = Named("spnQuality", new QSpinBox);
    spnQuality->setRange(kMinQuality, kMaxQuality);
    spnQuality->setValue(kDefaultQuality);
    spnQuality->setMinimumWidth(kFieldWidth);
    spnQuality->setToolTip(QStringLiteral(
        "How closely the fitted colours follow the clip: lower values give smaller files with "
        "more visible error; 100 draws every change exactly"));
    cboDither = Named("cboDither", new QComboBox);
    for (const std::string& name : DitherNames()) cboDither->addItem(QString::fromStdString(name));
    cboDither->setMinimumWidth(kFieldWidth);
    cboDither->setToolTip(QStringLiteral(
        "Error diffusion when the colours are reduced to 256: smoother gradients, a larger "
        "file, a slower conversion"));
    chkOptimize = Named("chkOptimize", new QCheckBox(QStringLiteral("Optimise (smaller file)")));
    chkOptimize->setToolTip(
        QStringLiteral("Stores only what changes from frame to frame; takes longer to save"));
    edtSizeLimit = Named("edtSizeLimit", new TByteSizeEdit);
    edtSizeLimit->setPlaceholderText(QStringLiteral("none"));
    edtSizeLimit->setMinimumWidth(kFieldWidth);
    edtSizeLimit->setMaximumWidth(kFieldWidth);
    edtSizeLimit->setToolTip(QStringLiteral(
        "The GIF is never larger: quality, then frame rate, then frame size are lowered as far "
        "as it takes. Bytes, or a size in K or M (8M, 500K); empty for no limit"));
    lblEstimate = Named("lblEstimate", new QLabel);
    lblEstimate->setWordWrap(true);
    lblEstimate->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblEstimate->setMinimumHeight(2 * lblEstimate->fontMetrics().lineSpacing());
    lblEstimate->setToolTip(
        QStringLiteral("Estimated from short samples of the clip, converted with these choices"));
    QGridLayout* grid = MakeGrid(grpGif);
    grid->addWidget(MakeLabel("Colours:", cboColors), 0, 0);
    grid->addWidget(cboColors, 0, 1);
    grid->addWidget(MakeLabel("Quality:", spnQuality), 1, 0);
    grid->addWidget(spnQuality, 1, 1);
    grid->addWidget(MakeLabel("Dithering:", cboDither), 2, 0);
    grid->addWidget(cboDither, 2, 1);
    grid->addWidget(chkOptimize, 3, 0, 1, 3);
    grid->addWidget(MakeLabel("Size limit:", edtSizeLimit), 4, 0);
    grid->addWidget(edtSizeLimit, 4, 1);
    grid->addWidget(lblEstimate, 5, 0, 1, 3);
    grid->setRowStretch(6, 1);
}

void TfrmOption::ConnectHandlers() {
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNextFrame, &QPushButton::clicked, this, [this] { btnNextFrameClick(); });
    connect(btnPreviousFrame, &QPushButton::clicked, this, [this] { btnPreviousFrameClick(); });
    connect(btnStartTime, &QPushButton::clicked, this, [this] { btnStartTimeClick(); });
    connect(btnEndTime, &QPushButton::clicked, this, [this] { btnEndTimeClick(); });
    connect(TrackBar, &QSlider::valueChanged, this, [this] { TrackBarChange(); });
    connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
    Image->OnClick = [this] { ImageClick(); };
    edtStartTime->OnTyped = [this](std::optional<int64_t> time) { return StartTimeTyped(time); };
    edtEndTime->OnTyped = [this](std::optional<int64_t> time) { return EndTimeTyped(time); };
    const auto update = [this] { UpdateEnabled(); };
    connect(spnWidth, &QSpinBox::valueChanged, this, update);
    connect(chkPlayAtClipSpeed, &QCheckBox::toggled, this, update);
    connect(cboLoop, &QComboBox::currentIndexChanged, this, update);
    connect(cboColors, &QComboBox::currentIndexChanged, this, update);
    connect(rdoFolder, &QRadioButton::toggled, this, update);
    UpdateEnabled();
    ConnectEstimate();
}

// Every choice the GIF's size depends on; the loop and the folder are not among them.
void TfrmOption::ConnectEstimate() {
    const auto changed = [this] { ChoicesChanged(); };
    connect(cboFrameSize, &QComboBox::currentIndexChanged, this, changed);
    connect(chkKeepAspect, &QCheckBox::toggled, this, changed);
    connect(spnWidth, &QSpinBox::valueChanged, this, changed);
    connect(chkCutClip, &QCheckBox::toggled, this, changed);
    connect(spnFrameRate, &QDoubleSpinBox::valueChanged, this, changed);
    connect(chkPlayAtClipSpeed, &QCheckBox::toggled, this, changed);
    connect(cboColors, &QComboBox::currentIndexChanged, this, changed);
    connect(spnQuality, &QSpinBox::valueChanged, this, changed);
    connect(cboDither, &QComboBox::currentIndexChanged, this, changed);
    connect(chkOptimize, &QCheckBox::toggled, this, changed);
    connect(edtSizeLimit, &QLineEdit::textChanged, this, changed);
}
