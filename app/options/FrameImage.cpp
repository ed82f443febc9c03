#include "app/options/FrameImage.h"

#include <QMouseEvent>
#include <QPainter>

TFrameImage::TFrameImage(int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height, QImage::Format_RGB32) {
    setFixedSize(width, height);
    canvas_.fill(Qt::black);
}

void TFrameImage::FillBlack() {
    canvas_.fill(Qt::black);
    update();
}

void TFrameImage::Draw(const QImage& picture, const TPlacement& placement) {
    if (picture.isNull() || placement.Width <= 0 || placement.Height <= 0) return;
    QPainter painter(&canvas_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(placement.Left, placement.Top, placement.Width, placement.Height),
                      picture);
    update();
}

void TFrameImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

void TFrameImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
        OnClick();
}
