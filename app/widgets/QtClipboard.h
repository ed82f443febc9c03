#pragma once
// TQtClipboard: the system clipboard (Qt's) as the picture code uses it. A bitmap goes there as
// an image; a data block under a format name goes under a MIME type: "GIF Image" as image/gif,
// which other programs understand, any other name as application/x-clipgif-<name>.
#include <QImage>
#include <QString>
#include <string>

#include "platform/Clipboard.h"

class TQtClipboard : public TClipboard {
public:
    bool SetContent(const TBitmap& bitmap,
                    const std::map<std::string, std::vector<uint8_t>>& data) override;
    bool HasFormat(const std::string& format) const override;
    std::vector<uint8_t> Data(const std::string& format) const override;
    bool HasBitmap() const override;
    TBitmap Bitmap() const override;

    // The MIME type a format name is kept under.
    static QString MimeTypeOf(const std::string& format);
};

// Puts a GIF file on the system clipboard as it is stored (image/gif) and as a picture:
// `picture`, or the file's first frame when it is null. False when the file cannot be read or
// the clipboard refuses it.
bool CopyGifFileToClipboard(const std::string& fileName, const QImage& picture);
