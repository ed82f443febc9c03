#include "app/main/Skin.h"

#include "app/widgets/BitmapImage.h"
#include "app/widgets/Palette.h"
#include "platform/Bitmap.h"

QImage LoadSkinPicture(const std::string& fileName) {
    TBitmap bitmap;
    bitmap.LoadFromFile(fileName);
    return ImageOfBitmap(bitmap);
}

QBitmap SkinMask(const QImage& picture) {
    // The mono image marks fuchsia pixels with white, which a bitmap takes as clear.
    return QBitmap::fromImage(
        picture.convertToFormat(QImage::Format_RGB32)
            .createMaskFromColor(facecolors::Transparent.rgb(), Qt::MaskInColor));
}
