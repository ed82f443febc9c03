#include "gif/codec/GIFEncoder.h"

#include <algorithm>
#include <cstring>

#include "gif/core/GIFException.h"
#include "gif/format/Interlace.h"

namespace {
constexpr int kMinBitsPerPixel = 2;
constexpr int kMaxBitsPerPixel = 8;
}  // namespace

TGIFEncoder::~TGIFEncoder() = default;

void TGIFEncoder::Compress(TStream& stream, int bitsPerPixel, int colorLimit, const uint8_t* pixels,
                           bool interlaced, int height, int width) {
    // Pixels are bytes, so 8 bits always suffice; a wider code size would not decode anywhere.
    bitsPerPixel_ = std::clamp(bitsPerPixel, kMinBitsPerPixel, kMaxBitsPerPixel);
    stream.WriteByte(static_cast<uint8_t>(bitsPerPixel_));

    initialBitsPerCode_ = bitsPerPixel_ + 1;
    SetCodeWidth(initialBitsPerCode_);
    clearCode_ = 1 << bitsPerPixel_;
    eoiCode_ = clearCode_ + 1;
    baseCode_ = clearCode_ + 2;
    // An index at or above the clear code cannot be told apart from a control code.
    colorLimit_ = std::min(colorLimit, clearCode_);
    bitBucket_ = 0;
    bitCount_ = 0;
    staged_ = staging_;
    justCleared_ = false;

    pixels_ = pixels;
    width_ = width;
    height_ = height;
    interlaced_ = interlaced;
    pass_ = 0;
    row_ = 0;
    spansStarted_ = false;

    TGIFWriter writer(stream);
    writer_ = &writer;
    try {
        if (pixels && width > 0 && height > 0) DoCompress();
        Output(eoiCode_);
        FlushBits(true);
        writer.Flush();
    } catch (...) {
        // What was packed so far goes out in whole bytes, as if written byte by byte; the
        // writer's destructor writes its last block.
        try {
            FlushBits(false);
        } catch (...) {
            // The first error is the one that propagates.
        }
        writer_ = nullptr;
        throw;
    }
    writer_ = nullptr;
    stream.WriteByte(0);
}

void TGIFEncoder::Output(int code) { PackCode(code); }

void TGIFEncoder::WriteStagedBlocks() {
    const size_t staged = static_cast<size_t>(staged_ - staging_);
    const size_t whole = staged - staged % TGIFWriter::kBlockSize;
    writer_->WriteBuffer(staging_, whole);
    std::memmove(staging_, staging_ + whole, staged - whole);
    staged_ = staging_ + (staged - whole);
}

void TGIFEncoder::FlushBits(bool padLastByte) {
    const int bytes = padLastByte ? (bitCount_ + 7) / 8 : bitCount_ / 8;
    for (int i = 0; i < bytes; ++i) {
        *staged_++ = static_cast<uint8_t>(bitBucket_);
        bitBucket_ >>= 8;
    }
    bitCount_ = 0;
    bitBucket_ = 0;
    writer_->WriteBuffer(staging_, static_cast<size_t>(staged_ - staging_));
    staged_ = staging_;
}

bool TGIFEncoder::NextSpan(const uint8_t*& first, const uint8_t*& last) {
    const size_t rowBytes = static_cast<size_t>(width_);
    if (!spansStarted_) {
        spansStarted_ = true;
        first = pixels_;
        last = first + (interlaced_ ? rowBytes : rowBytes * static_cast<size_t>(height_));
        return true;
    }
    if (!interlaced_ || !NextInterlacedRow(height_, pass_, row_)) return false;
    first = pixels_ + static_cast<size_t>(row_) * rowBytes;
    last = first + rowBytes;
    return true;
}

void TGIFEncoder::ColorNotInTable() { throw GIFException("Color not in color table"); }
