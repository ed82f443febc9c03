#include "app/widgets/BitmapImage.h"

#include <cstring>

#include "gif/paint/GIFComposer.h"
#include "platform/Bitmap.h"

QImage ImageOfBitmap(const TBitmap& bitmap) {
    if (bitmap.Empty()) return QImage();
    if (bitmap.PixelFormat() != pf24bit) {
        TBitmap converted(bitmap);
        converted.SetPixelFormat(pf24bit);
        return ImageOfBitmap(converted);
    }
    // Rows are blue, green, red per pixel, top row first.
    const QImage view(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(),
                      static_cast<qsizetype>(bitmap.RowBytes()), QImage::Format_BGR888);
    return view.copy();
}

void BitmapOfImage(const QImage& image, TBitmap& bitmap) {
    const QImage rows = image.convertToFormat(QImage::Format_BGR888);
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(rows.width(), rows.height());
    const size_t rowBytes = static_cast<size_t>(rows.width()) * 3;
    for (int y = 0; y < rows.height(); ++y)
        std::memcpy(bitmap.ScanLine(y), rows.constScanLine(y), rowBytes);
}

QImage ImageOfComposer(const TGIFComposer& composer) {
    QImage image(composer.Width(), composer.Height(), QImage::Format_RGB32);
    for (int y = 0; y < composer.Height(); ++y) {
        const uint32_t* in = composer.Row(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < composer.Width(); ++x) out[x] = 0xFF000000u | (in[x] & 0xFFFFFFu);
    }
    return image;
}
