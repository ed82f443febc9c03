#pragma once
// TFormatConverter: a decoded picture of any pixel format as a bitmap of a chosen depth, and the
// bitmap's pixels back into a picture.
//
// A picture already in the bitmap's layout (same pixel format, even size, first line size equal
// to the bitmap's row size) is used as it is; anything else is converted by libswscale into the
// converter's own buffer. The converter belongs to one task or decoder and is used on that
// object's thread only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/Picture.h"
#include "platform/Bitmap.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

struct SwsContext;

// The bitmap side of the current picture, as a bitmap header describes pixels in memory.
struct TBitmapDescription {
    int Type = 0;
    int Width = 0;
    int Height = 0;
    int WidthBytes = 0;
    int Planes = 0;
    int BitsPixel = 0;
    uint8_t* Bits = nullptr;
};

class TFormatConverter {
public:
    TFormatConverter();
    ~TFormatConverter();
    TFormatConverter(const TFormatConverter&) = delete;
    TFormatConverter& operator=(const TFormatConverter&) = delete;

    // Bitmap depth: 8, 15, 16, 24 (default) or 32. Another value raises "Invalid BitsPixel %d".
    int BitsPixel() const { return bitsPixel_; }
    void SetBitsPixel(int bitsPixel);

    // Makes `picture` (of `pixelFormat`, `width` x `height`) the current picture, converting it
    // when its layout is not the bitmap's, and sizes the bitmap; with `copy` the pixels are copied
    // into the bitmap too. False with LastError() on failure.
    bool ToBitmap(const TPicture& picture, AVPixelFormat pixelFormat, bool copy, int height,
                  int width);
    // Writes the current picture back into `destination` (of `pixelFormat`, `width` x `height`).
    // False with LastError() on failure.
    bool FromBitmap(TPicture& destination, AVPixelFormat pixelFormat, int height, int width);

    // Row by row between the current picture and the bitmap. Both need a current picture.
    void CopyToBitmap();
    void CopyFromBitmap();

    TBitmap& Bitmap() { return bitmap_; }
    const TBitmap& Bitmap() const { return bitmap_; }
    // The libav pixel format of the bitmap's pixels.
    AVPixelFormat BitmapPixelFormat() const { return bitmapPixelFormat_; }
    const TBitmapDescription& BitmapDescription() const { return description_; }
    // The current picture, or null before the first successful ToBitmap.
    const TPicture* CurrentPicture() const { return hasCurrent_ ? &current_ : nullptr; }
    // True when the current picture lies in the converter's own buffer (it was converted), false
    // when it is the caller's picture itself.
    bool CurrentIsConverted() const { return hasCurrent_ && current_.data[0] == buffer_; }
    const std::string& LastError() const { return lastError_; }
    // libswscale flags of the conversions (4, bicubic, unless the owner sets others).
    int ScalerFlags() const { return scalerFlags_; }
    void SetScalerFlags(int flags) { scalerFlags_ = flags; }

private:
    void Reset();
    bool NeedsConversion(const TPicture& picture, AVPixelFormat pixelFormat, int height,
                         int width) const;
    bool ConvertIntoBuffer(const TPicture& picture, AVPixelFormat pixelFormat, int height,
                           int width);
    bool PrepareScaler(SwsContext*& context, AVPixelFormat from, AVPixelFormat to, int height,
                       int width);
    bool ReserveBuffer(size_t size);
    void DescribeCurrentPicture(int height, int width);
    void RequireCurrentPicture() const;
    size_t RowBytesToCopy() const;

    int scalerFlags_ = 4;  // bicubic

    int bitsPixel_ = 24;
    AVPixelFormat bitmapPixelFormat_ = AV_PIX_FMT_BGR24;
    TBitmap bitmap_;
    uint8_t* buffer_ = nullptr;
    size_t bufferSize_ = 0;
    TPicture converted_{};
    TPicture current_{};
    bool hasCurrent_ = false;
    TBitmapDescription description_;
    SwsContext* toBitmapContext_ = nullptr;
    SwsContext* fromBitmapContext_ = nullptr;
    std::string lastError_;
};
