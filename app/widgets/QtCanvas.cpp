#include "app/widgets/QtCanvas.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "app/widgets/BitmapImage.h"

namespace {

QRect RectOf(const TRect& rect) { return QRect(rect.Left, rect.Top, rect.Width(), rect.Height()); }

QColor ColorOf(TColor color) {
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

// The bitmap's pixels; where a transparent bitmap's mask is set they are left see-through.
QImage ImageWithMask(const TBitmap& bitmap) {
    QImage image = ImageOfBitmap(bitmap);
    if (!bitmap.Transparent()) return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (bitmap.MaskBit(x, y)) row[x] = qRgba(0, 0, 0, 0);
    }
    return image;
}

}  // namespace

TQtCanvas::TQtCanvas(const QSize& size) : picture_(size, QImage::Format_RGB32) {
    picture_.fill(Qt::black);
}

void TQtCanvas::Changed() {
    if (OnChanged) OnChanged();
}

void TQtCanvas::Draw(const TRect& dest, const TBitmap& bitmap, const TRect& source) {
    if (!valid_ || dest.Empty() || source.Empty() || bitmap.Empty()) return;
    {
        QPainter painter(&picture_);
        painter.drawImage(RectOf(dest), ImageWithMask(bitmap), RectOf(source));
    }
    Changed();
}

void TQtCanvas::FillRect(const TRect& rect, TColor color) {
    if (!valid_ || rect.Empty()) return;
    {
        QPainter painter(&picture_);
        painter.fillRect(RectOf(rect), ColorOf(color));
    }
    Changed();
}

TBitmap TQtCanvas::CopyRect(const TRect& rect) const {
    TBitmap copy(std::max(rect.Width(), 0), std::max(rect.Height(), 0), pf24bit);
    if (copy.Empty()) return copy;
    // copy() fills what lies outside the picture with zeros: black.
    const QImage part = picture_.copy(RectOf(rect)).convertToFormat(QImage::Format_BGR888);
    const size_t rowBytes = static_cast<size_t>(copy.Width()) * 3;
    for (int y = 0; y < copy.Height(); ++y)
        std::memcpy(copy.ScanLine(y), part.constScanLine(y), rowBytes);
    return copy;
}
