#include "engine/frames/FormatConverter.h"

#include <algorithm>
#include <cstring>

#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
#include "platform/Exception.h"

namespace {

struct TDepthFormat {
    int BitsPixel;
    TPixelFormat BitmapFormat;
    int StorageBits;
    AVPixelFormat PixelFormat;
};

// Bitmap rows of 15 and 16 bits hold little-endian words with blue in the low bits, which is
// libav's RGB555LE / RGB565LE; 8-bit pixels are 3-3-2 codes with red in the low bits (BGR8).
constexpr TDepthFormat kDepthFormats[] = {
    {8, pf8bit, 8, AV_PIX_FMT_BGR8},        {15, pf15bit, 16, AV_PIX_FMT_RGB555LE},
    {16, pf16bit, 16, AV_PIX_FMT_RGB565LE}, {24, pf24bit, 24, AV_PIX_FMT_BGR24},
    {32, pf32bit, 32, AV_PIX_FMT_BGRA},
};

const TDepthFormat* FindDepth(int bitsPixel) {
    for (const TDepthFormat& depth : kDepthFormats) {
        if (depth.BitsPixel == bitsPixel) return &depth;
    }
    return nullptr;
}

// The colours of the 256 BGR8 codes, so that an 8-bit bitmap of such codes shows true colours.
TPalette Bgr8Palette() {
    TPalette palette(256);
    for (int code = 0; code < 256; ++code) {
        palette[code].peRed = static_cast<uint8_t>((code & 7) * 255 / 7);
        palette[code].peGreen = static_cast<uint8_t>(((code >> 3) & 7) * 255 / 7);
        palette[code].peBlue = static_cast<uint8_t>(((code >> 6) & 3) * 255 / 3);
    }
    return palette;
}

}  // namespace

TFormatConverter::TFormatConverter() { Reset(); }

TFormatConverter::~TFormatConverter() {
    if (buffer_) libav::av_free(buffer_);
    if (toBitmapContext_) libav::sws_freeContext(toBitmapContext_);
    if (fromBitmapContext_) libav::sws_freeContext(fromBitmapContext_);
}

void TFormatConverter::SetBitsPixel(int bitsPixel) {
    if (bitsPixel == bitsPixel_) return;
    const TDepthFormat* depth = FindDepth(bitsPixel);
    if (!depth) throw Exception("Invalid BitsPixel " + std::to_string(bitsPixel));
    bitsPixel_ = bitsPixel;
    bitmapPixelFormat_ = depth->PixelFormat;
    Reset();
}

void TFormatConverter::Reset() {
    description_ = TBitmapDescription();
    converted_ = TPicture{};
    current_ = TPicture{};
    hasCurrent_ = false;
    const TDepthFormat* depth = FindDepth(bitsPixel_);
    bitmap_.SetPixelFormat(depth->BitmapFormat);
    if (depth->BitmapFormat == pf8bit) bitmap_.SetPalette(Bgr8Palette());
}

bool TFormatConverter::ToBitmap(const TPicture& picture, AVPixelFormat pixelFormat, bool copy,
                                int height, int width) {
    if (width <= 0 || height <= 0) {
        lastError_ = "Invalid picture size " + std::to_string(width) + "x" + std::to_string(height);
        hasCurrent_ = false;
        return false;
    }
    bitmap_.SetSize(width, height);
    if (NeedsConversion(picture, pixelFormat, height, width)) {
        if (!ConvertIntoBuffer(picture, pixelFormat, height, width)) {
            hasCurrent_ = false;
            return false;
        }
        current_ = converted_;
    } else {
        current_ = picture;
    }
    hasCurrent_ = true;
    DescribeCurrentPicture(height, width);
    if (copy) CopyToBitmap();
    return true;
}

// The bitmap has just been sized to the frame, so its row size is the line size to match.
bool TFormatConverter::NeedsConversion(const TPicture& picture, AVPixelFormat pixelFormat,
                                       int height, int width) const {
    return pixelFormat != bitmapPixelFormat_ || (width & 1) != 0 || (height & 1) != 0 ||
           picture.linesize[0] < 0 ||
           static_cast<size_t>(picture.linesize[0]) != bitmap_.RowBytes();
}

bool TFormatConverter::ConvertIntoBuffer(const TPicture& picture, AVPixelFormat pixelFormat,
                                         int height, int width) {
    const int size = libav::av_image_get_buffer_size(bitmapPixelFormat_, width, height, 1);
    if (size < 0 || !ReserveBuffer(static_cast<size_t>(size))) {
        lastError_ = "Cannot allocate the conversion buffer";
        return false;
    }
    libav::av_image_fill_arrays(converted_.data, converted_.linesize, buffer_, bitmapPixelFormat_,
                                width, height, 1);
    if (!PrepareScaler(toBitmapContext_, pixelFormat, bitmapPixelFormat_, height, width)) {
        lastError_ = "Cannot initialize the toRGB conversion context";
        return false;
    }
    libav::sws_scale(toBitmapContext_, picture.data, picture.linesize, 0, height, converted_.data,
                     converted_.linesize);
    return true;
}

// Same-size conversion between two formats. libswscale aborts the process on a format it does
// not know instead of failing, so it is asked first.
bool TFormatConverter::PrepareScaler(SwsContext*& context, AVPixelFormat from, AVPixelFormat to,
                                     int height, int width) {
    if (libav::sws_isSupportedInput(from) <= 0 || libav::sws_isSupportedOutput(to) <= 0) {
        return false;
    }
    context = libav::sws_getCachedContext(context, width, height, from, width, height, to,
                                          scalerFlags_, nullptr, nullptr, nullptr);
    return context != nullptr;
}

// The buffer grows to the largest frame seen and never shrinks.
bool TFormatConverter::ReserveBuffer(size_t size) {
    if (buffer_ && bufferSize_ >= size) return true;
    auto* bigger = static_cast<uint8_t*>(libav::av_malloc(size));
    if (!bigger) return false;
    if (buffer_) libav::av_free(buffer_);
    buffer_ = bigger;
    bufferSize_ = size;
    return true;
}

void TFormatConverter::DescribeCurrentPicture(int height, int width) {
    description_.Type = 0;
    description_.Width = width;
    description_.Height = height;
    description_.WidthBytes = current_.linesize[0];
    description_.Planes = 1;
    description_.BitsPixel = FindDepth(bitsPixel_)->StorageBits;
    description_.Bits = current_.data[0];
}

bool TFormatConverter::FromBitmap(TPicture& destination, AVPixelFormat pixelFormat, int height,
                                  int width) {
    RequireCurrentPicture();
    if (!PrepareScaler(fromBitmapContext_, bitmapPixelFormat_, pixelFormat, height, width)) {
        lastError_ = "Cannot initialize the fromRGB conversion context";
        return false;
    }
    libav::sws_scale(fromBitmapContext_, current_.data, current_.linesize, 0, height,
                     destination.data, destination.linesize);
    return true;
}

void TFormatConverter::CopyToBitmap() {
    RequireCurrentPicture();
    const size_t bytes = RowBytesToCopy();
    const uint8_t* source = current_.data[0];
    for (int y = 0; y < bitmap_.Height(); ++y, source += current_.linesize[0]) {
        std::memcpy(bitmap_.ScanLine(y), source, bytes);
    }
}

void TFormatConverter::CopyFromBitmap() {
    RequireCurrentPicture();
    const size_t bytes = RowBytesToCopy();
    uint8_t* target = current_.data[0];
    for (int y = 0; y < bitmap_.Height(); ++y, target += current_.linesize[0]) {
        std::memcpy(target, bitmap_.ScanLine(y), bytes);
    }
}

// A converted picture's rows are packed and may be shorter than the bitmap's padded rows.
size_t TFormatConverter::RowBytesToCopy() const {
    return std::min(static_cast<size_t>(current_.linesize[0]), bitmap_.RowBytes());
}

void TFormatConverter::RequireCurrentPicture() const {
    if (!hasCurrent_) throw Exception("Assertion failure");
}
