// The options dialog's components and where they sit.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/core/FrameSizes.h"
#include "app/options/FrameImage.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/TrackBar.h"
#include "app/widgets/WindowPlacement.h"

namespace {

constexpr int kClientWidth = 701;
constexpr int kClientHeight = 294;
constexpr int kImageWidth = 220;
constexpr int kImageHeight = 145;

QPushButton* MakeButton(const char* name, const char* caption, QWidget* parent,
                        const QRect& place) {
    auto* button = Named(name, new QPushButton(QString::fromLatin1(caption), parent));
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* MakeTimeEdit(const char* name, QWidget* parent, const QRect& place) {
    auto* edit = Named(name, new QLineEdit(parent));
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignCenter);
    edit->setGeometry(place);
    return edit;
}

}  // namespace

void TfrmOption::CreateComponents() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Output Options"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientWidth, kClientHeight);

    grpAVFileInfo =
        Named("grpAVFileInfo", new QGroupBox(QStringLiteral("Source Media File Info"), this));
    grpAVFileInfo->setGeometry(8, 8, 300, 228);
    mmoAVFileInfo = Named("mmoAVFileInfo", new QPlainTextEdit(grpAVFileInfo));
    mmoAVFileInfo->setReadOnly(true);
    mmoAVFileInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoAVFileInfo->setGeometry(8, 20, 284, 200);

    grpCutClip =
        Named("grpCutClip", new QGroupBox(QStringLiteral("Cut a piece clip (seconds)"), this));
    grpCutClip->setGeometry(316, 8, 377, 228);
    Image = Named("Image", new TFrameImage(kImageWidth, kImageHeight, grpCutClip));
    Image->move(10, 20);
    TrackBar = Named("TrackBar", new TTrackBar(grpCutClip));
    TrackBar->setGeometry(10, 167, kImageWidth, 30);
    TrackBar->setMaximum(10);
    lblPTS = Named("lblPTS", new QLabel(grpCutClip));
    lblPTS->setAlignment(Qt::AlignCenter);
    lblPTS->setGeometry(10, 199, kImageWidth, 18);

    constexpr int column = 242;
    constexpr int columnWidth = 125;
    btnNextFrame =
        MakeButton("btnNextFrame", "Next Frame", grpCutClip, QRect(column, 20, columnWidth, 26));
    btnStartTime =
        MakeButton("btnStartTime", "Set Start", grpCutClip, QRect(column, 58, columnWidth, 26));
    edtStartTime = MakeTimeEdit("edtStartTime", grpCutClip, QRect(column, 88, columnWidth, 24));
    btnEndTime =
        MakeButton("btnEndTime", "Set End", grpCutClip, QRect(column, 122, columnWidth, 26));
    edtEndTime = MakeTimeEdit("edtEndTime", grpCutClip, QRect(column, 152, columnWidth, 24));
    chkCutClip = Named("chkCutClip", new QCheckBox(QStringLiteral("Cut Clip"), grpCutClip));
    chkCutClip->setGeometry(column, 188, columnWidth, 22);

    grpFrameSize = Named("grpFrameSize", new QGroupBox(QStringLiteral(" Frame Size"), this));
    grpFrameSize->setGeometry(8, 242, 300, 44);
    cboFrameSize = Named("cboFrameSize", new QComboBox(grpFrameSize));
    for (const TFrameSizePreset& size : FrameSizePresets())
        cboFrameSize->addItem(QString::fromLatin1(size.ItemText));
    cboFrameSize->setCurrentIndex(0);
    cboFrameSize->setMaxVisibleItems(16);
    cboFrameSize->setGeometry(8, 16, 284, 22);

    chkPlayAtClipSpeed = Named("chkPlayAtClipSpeed",
                               new QCheckBox(QStringLiteral("Play at clip speed and loop"), this));
    chkPlayAtClipSpeed->setGeometry(324, 244, 178, 20);
    chkPlayAtClipSpeed->setChecked(true);
    chkPlayAtClipSpeed->setToolTip(
        QStringLiteral("Each frame shows as long as in the clip, and the GIF plays in a loop"));
    chkOptimize =
        Named("chkOptimize", new QCheckBox(QStringLiteral("Optimise (smaller file)"), this));
    chkOptimize->setGeometry(324, 266, 178, 20);
    chkOptimize->setToolTip(
        QStringLiteral("Stores only what changes from frame to frame; takes longer to save"));

    btnOk = MakeButton("btnOk", "OK", this, QRect(508, 258, 88, 28));
    btnOk->setDefault(true);
    btnCancel = MakeButton("btnCancel", "Cancel", this, QRect(605, 258, 88, 28));

    CentreOnScreen(*this);
}

void TfrmOption::ConnectHandlers() {
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNextFrame, &QPushButton::clicked, this, [this] { btnNextFrameClick(); });
    connect(btnStartTime, &QPushButton::clicked, this, [this] { btnStartTimeClick(); });
    connect(btnEndTime, &QPushButton::clicked, this, [this] { btnEndTimeClick(); });
    connect(TrackBar, &QSlider::valueChanged, this, [this] { TrackBarChange(); });
    Image->OnClick = [this] { ImageClick(); };
}
