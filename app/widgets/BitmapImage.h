#pragma once
// Between the platform's bitmaps and Qt's images.
#include <QImage>

class TBitmap;
class TGIFComposer;

// A copy of the bitmap's pixels (any pixel format; indexed ones through their palette).
QImage ImageOfBitmap(const TBitmap& bitmap);
// A 24-bit bitmap with the image's pixels.
void BitmapOfImage(const QImage& image, TBitmap& bitmap);
// The composer's picture; what no frame covers shows its background colour.
QImage ImageOfComposer(const TGIFComposer& composer);
