#include "app/main/PreviewForm.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/widgets/BitmapImage.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/QtCanvas.h"
#include "app/widgets/QtClipboard.h"
#include "app/widgets/WindowPlacement.h"
#include "gif/model/GIFImage.h"

namespace {

constexpr int kInitialWidth = 320;
constexpr int kInitialHeight = 240;

}  // namespace

TPreviewForm::TPreviewForm()
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
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
}

TPreviewForm::~TPreviewForm() { StopPlaying(); }

void TPreviewForm::SetClientSize(int width, int height) { resize(width, height); }

void TPreviewForm::ShowPicture(const QImage& picture) {
    Image->setPixmap(QPixmap::fromImage(picture));
}

void TPreviewForm::ShowBitmap(const TBitmap& bitmap) { ShowPicture(ImageOfBitmap(bitmap)); }

void TPreviewForm::FillBlack() {
    QPixmap black(size());
    black.fill(Qt::black);
    Image->setPixmap(black);
}

void TPreviewForm::PlayAnimation(const std::string& fileName) {
    StopPlaying();
    auto animation = std::make_unique<TGIFImage>();
    animation->LoadFromFile(fileName);
    if (animation->Empty()) return;
    const QSize size(animation->Width(), animation->Height());
    canvas_ = std::make_unique<TQtCanvas>(size);
    canvas_->OnChanged = [this, canvas = canvas_.get()] { ShowPicture(canvas->Picture()); };
    animation_ = std::move(animation);
    SetClientSize(size.width(), size.height());
    setWindowTitle(QFileInfo(QString::fromStdString(fileName)).fileName());
    actCopyAnimation->setEnabled(true);
    show();
    animation_->Draw(*canvas_, {0, 0, size.width(), size.height()});
}

// Both leave the members first: a call that comes in while the painter is being stopped (the
// main thread runs queued calls meanwhile) finds nothing left to stop.
void TPreviewForm::StopPlaying() {
    const std::unique_ptr<TQtCanvas> canvas = std::move(canvas_);
    const std::unique_ptr<TGIFImage> animation = std::move(animation_);
    if (!animation) return;
    actCopyAnimation->setEnabled(false);
    animation->StopPainting();
    canvas->Invalidate();
}

void TPreviewForm::CopyAnimation() {
    if (!animation_) return;
    TQtClipboard clipboard;
    animation_->SaveToClipboard(clipboard);
}

void TPreviewForm::hideEvent(QHideEvent* event) {
    StopPlaying();
    QWidget::hideEvent(event);
}
