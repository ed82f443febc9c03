#include "app/main/PreviewForm.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

#include "app/widgets/BitmapImage.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/QtClipboard.h"
#include "app/widgets/WindowPlacement.h"

namespace {

constexpr int kInitialWidth = 320;
constexpr int kInitialHeight = 240;

}  // namespace

TPreviewForm::TPreviewForm(const QWidget* owner)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      owner_(owner),
      Image(Named("Image", new QLabel(this))),
      actCopyAnimation(Named("actCopyAnimation", new QAction(QStringLiteral("Copy GIF"), this))) {
    Image->setAlignment(Qt::AlignCenter);
    Image->setScaledContents(true);
    Image->setMinimumSize(1, 1);
    Image->setContextMenuPolicy(Qt::NoContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image);
    actCopyAnimation->setEnabled(false);
    connect(actCopyAnimation, &QAction::triggered, this,
            [this] { RunHandler(this, [this] { CopyAnimation(); }); });
    addAction(actCopyAnimation);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setWindowTitle(QString());
    resize(kInitialWidth, kInitialHeight);
    FillBlack();
    CentreOnScreen(*this);
    player_.OnPicture = [this](const QImage& picture) { ShowPlayedPicture(picture); };
    player_.OnFailed = [this](const QString& error) {
        actCopyAnimation->setEnabled(false);
        if (OnPlayFailed) OnPlayFailed(error);
    };
}

TPreviewForm::~TPreviewForm() { StopPlaying(); }

void TPreviewForm::ShowPicture(const QImage& picture) {
    if (picture.size() != pictureSize_) FitToPicture(picture.size());
    Image->setPixmap(QPixmap::fromImage(picture));
}

void TPreviewForm::ShowBitmap(const TBitmap& bitmap) { ShowPicture(ImageOfBitmap(bitmap)); }

void TPreviewForm::FillBlack() {
    QPixmap black(size());
    black.fill(Qt::black);
    Image->setPixmap(black);
}

// The frame's size is known once the window has been shown; before, it counts as nothing.
void TPreviewForm::FitToPicture(const QSize& pictureSize) {
    pictureSize_ = pictureSize;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return resize(pictureSize);
    const QRect free = screen->availableGeometry();
    const QSize size = FittedPreviewSize(pictureSize, free);
    const QSize frameExtra = isVisible() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
    if (!owner_) {
        resize(size);
        return;
    }
    const QRect placed =
        PreviewPlacement(free, owner_->frameGeometry(), kOwnerBand, size, frameExtra);
    resize(placed.size());
    move(placed.topLeft());
}

void TPreviewForm::PlayAnimation(const std::string& fileName) {
    StopPlaying();
    setWindowTitle(QFileInfo(QString::fromStdString(fileName)).fileName());
    actCopyAnimation->setEnabled(true);
    player_.Play(fileName);
}

void TPreviewForm::ShowPlayedPicture(const QImage& picture) {
    ShowPicture(picture);
    if (!isVisible()) show();
}

void TPreviewForm::StopPlaying() {
    actCopyAnimation->setEnabled(false);
    player_.Stop();
}

void TPreviewForm::CopyAnimation() {
    if (PlayingFile().empty()) return;
    CopyGifFileToClipboard(PlayingFile(), Image->pixmap().toImage());
}

void TPreviewForm::hideEvent(QHideEvent* event) {
    StopPlaying();
    QWidget::hideEvent(event);
}
