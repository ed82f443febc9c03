#include "app/PreviewForm.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/BitmapImage.h"
#include "app/WindowPlacement.h"

namespace {

constexpr int kInitialWidth = 320;
constexpr int kInitialHeight = 240;

}  // namespace

TPreviewForm::TPreviewForm()
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Image(new QLabel(this)) {
    Image->setObjectName(QStringLiteral("Image"));
    Image->setAlignment(Qt::AlignCenter);
    Image->setScaledContents(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image);
    setWindowTitle(QString());
    resize(kInitialWidth, kInitialHeight);
    FillBlack();
    CentreOnScreen(*this);
}

void TPreviewForm::SetClientSize(int width, int height) { resize(width, height); }

void TPreviewForm::ShowBitmap(const TBitmap& bitmap) {
    Image->setPixmap(QPixmap::fromImage(ImageOfBitmap(bitmap)));
}

void TPreviewForm::FillBlack() {
    QPixmap black(size());
    black.fill(Qt::black);
    Image->setPixmap(black);
}
