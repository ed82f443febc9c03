#pragma once
// Encoders of a frame's image data: the minimum code size byte, the variable-width codes packed
// into data sub-blocks, and the block terminator.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "gif/GIFTypes.h"
#include "gif/GIFWarning.h"
#include "gif/GIFWriter.h"
#include "platform/Stream.h"

class TGIFEncoder {
public:
    virtual ~TGIFEncoder();

    // Encodes width x height pixel indices (rows top to bottom, `width` bytes each) into `stream`.
    // bitsPerPixel becomes the minimum code size, at least 2 and at most 8. Every index must be
    // below colorLimit (and below 2^code size), else GIFException "Color not in color table" is
    // raised and the stream holds a partial image.
    void Compress(TStream& stream, int bitsPerPixel, int colorLimit, const uint8_t* pixels,
                  bool interlaced, int height, int width);

    TGIFWarningHandler OnWarning;

protected:
    static constexpr int kMaxBits = 12;
    static constexpr int kMaxCodes = 1 << kMaxBits;

    // Packs a code at the current width.
    virtual void Output(int code);
    // Starts a new code table and tells the decoder so.
    virtual void Clear() = 0;
    // The scheme's loop over every pixel, from the first pixel to the last code before the end
    // code.
    virtual void DoCompress() = 0;

    void PackCode(int code) {
        bitBucket_ |= static_cast<uint32_t>(code) << bitCount_;
        bitCount_ += bitsPerCode_;
        while (bitCount_ >= 8) {
            PutByte(static_cast<uint8_t>(bitBucket_));
            bitBucket_ >>= 8;
            bitCount_ -= 8;
        }
    }
    void SetCodeWidth(int bits) {
        bitsPerCode_ = bits;
        maxCode_ = (1 << bits) - 1;
    }

    // Pixel stepping: the next run of consecutive pixels in frame order (the whole frame at once
    // when not interlaced, one row at a time in interlaced order otherwise). False at the end.
    bool NextSpan(const uint8_t*& first, const uint8_t*& last);
    // The pixel value after checking it against the colour limit.
    int CheckedPixel(uint8_t value) const {
        if (value >= colorLimit_) ColorNotInTable();
        return value;
    }
    [[noreturn]] static void ColorNotInTable();

    int bitsPerPixel_ = 0;
    int colorLimit_ = 0;
    int initialBitsPerCode_ = 0;
    int bitsPerCode_ = 0;
    int maxCode_ = 0;  // largest code of the current width
    int clearCode_ = 0;
    int eoiCode_ = 0;
    int baseCode_ = 0;  // first free code
    bool justCleared_ = false;

private:
    void PutByte(uint8_t value) { writer_->PutByte(value); }
    void FlushBits();

    TGIFWriter* writer_ = nullptr;
    uint32_t bitBucket_ = 0;
    int bitCount_ = 0;

    int width_ = 0;
    int height_ = 0;
    bool interlaced_ = false;
    int pass_ = 0;
    int row_ = 0;
    bool spansStarted_ = false;
    const uint8_t* pixels_ = nullptr;
};

// The encoder of an encoding: TRLEEncoder for geRLE, TLZWEncoder otherwise.
std::unique_ptr<TGIFEncoder> CreateGIFEncoder(TGIFEncoding encoding);
