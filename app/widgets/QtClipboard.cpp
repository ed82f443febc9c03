#include "app/widgets/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "app/widgets/BitmapImage.h"
#include "gif/model/GIFCodedAnimation.h"
#include "gif/model/GIFImage.h"
#include "gif/paint/GIFCodedPlayback.h"
#include "platform/Stream.h"

namespace {

const QMimeData* Content() { return QGuiApplication::clipboard()->mimeData(); }

}  // namespace

QString TQtClipboard::MimeTypeOf(const std::string& format) {
    if (format == kGIFClipboardFormat) return QStringLiteral("image/gif");
    QString name = QString::fromStdString(format).toLower();
    name.replace(QLatin1Char(' '), QLatin1Char('-'));
    return QStringLiteral("application/x-clipgif-") + name;
}

bool TQtClipboard::SetContent(const TBitmap& bitmap,
                              const std::map<std::string, std::vector<uint8_t>>& data) {
    auto* content = new QMimeData;
    if (!bitmap.Empty()) content->setImageData(ImageOfBitmap(bitmap));
    for (const auto& [format, bytes] : data)
        content->setData(MimeTypeOf(format), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<qsizetype>(bytes.size())));
    QGuiApplication::clipboard()->setMimeData(content);
    // The clipboard took it when it hands it out again.
    const QMimeData* now = Content();
    if (!now) return false;
    for (const auto& entry : data)
        if (!now->hasFormat(MimeTypeOf(entry.first))) return false;
    return bitmap.Empty() || now->hasImage();
}

bool TQtClipboard::HasFormat(const std::string& format) const {
    const QMimeData* content = Content();
    return content && content->hasFormat(MimeTypeOf(format));
}

std::vector<uint8_t> TQtClipboard::Data(const std::string& format) const {
    const QMimeData* content = Content();
    if (!content) return {};
    const QByteArray bytes = content->data(MimeTypeOf(format));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool TQtClipboard::HasBitmap() const {
    const QMimeData* content = Content();
    return content && content->hasImage();
}

TBitmap TQtClipboard::Bitmap() const {
    TBitmap bitmap;
    const QMimeData* content = Content();
    if (!content || !content->hasImage()) return bitmap;
    const QImage image = qvariant_cast<QImage>(content->imageData());
    if (!image.isNull()) BitmapOfImage(image, bitmap);
    return bitmap;
}

bool CopyGifFileToClipboard(const std::string& fileName, const QImage& picture) {
    QByteArray bytes;
    QImage shown = picture;
    try {
        TMemoryStream file;
        file.LoadFromFile(fileName);
        bytes = QByteArray(reinterpret_cast<const char*>(file.Memory()),
                           static_cast<qsizetype>(file.Data().size()));
        if (shown.isNull()) {
            const TGIFCodedAnimation animation(std::move(file.Data()));
            TGIFCodedPlayback first(animation);
            if (first.Next()) shown = ImageOfComposer(first.Picture());
        }
    } catch (const std::exception&) {
        return false;
    }
    auto* content = new QMimeData;
    content->setData(TQtClipboard::MimeTypeOf(kGIFClipboardFormat), bytes);
    if (!shown.isNull()) content->setImageData(shown);
    QGuiApplication::clipboard()->setMimeData(content);
    const QMimeData* now = Content();
    return now && now->hasFormat(TQtClipboard::MimeTypeOf(kGIFClipboardFormat));
}
