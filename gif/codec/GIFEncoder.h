#pragma once
// Encoders of a frame's image data: the minimum code size byte, the variable-width codes packed
// into data sub-blocks, and the block terminator.
#include <cstddef>
#include <cstdint>

#include "gif/core/GIFTypes.h"
#include "gif/core/GIFWarning.h"
#include "gif/format/GIFWriter.h"
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

    // Codes are packed least significant bit first into a 64-bit bucket; whole 32-bit words go
    // to a staging buffer, which is written out in whole sub-blocks.
    void PackCode(int code) {
        bitBucket_ |= static_cast<uint64_t>(code) << bitCount_;
        bitCount_ += bitsPerCode_;
        if (bitCount_ >= 32) {
            const auto word = static_cast<uint32_t>(bitBucket_);
            staged_[0] = static_cast<uint8_t>(word);
            staged_[1] = static_cast<uint8_t>(word >> 8);
            staged_[2] = static_cast<uint8_t>(word >> 16);
            staged_[3] = static_cast<uint8_t>(word >> 24);
            staged_ += 4;
            bitBucket_ >>= 32;
            bitCount_ -= 32;
            if (staged_ >= staging_ + kStagingSize) WriteStagedBlocks();
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
    // Bytes staged at a time: whole sub-blocks, and room for the word that fills them.
    static constexpr int kStagingBlocks = 16;
    static constexpr int kStagingSize = kStagingBlocks * TGIFWriter::kBlockSize;

    // Writes the staged sub-blocks that are whole and keeps the rest staged.
    void WriteStagedBlocks();
    // Stages the bytes of the bucket (with the last one padded when `padLastByte`, else only
    // whole bytes) and writes everything staged.
    void FlushBits(bool padLastByte);

    TGIFWriter* writer_ = nullptr;
    uint64_t bitBucket_ = 0;
    int bitCount_ = 0;
    uint8_t staging_[kStagingSize + 4];
    uint8_t* staged_ = staging_;  // end of the staged bytes

    int width_ = 0;
    int height_ = 0;
    bool interlaced_ = false;
    int pass_ = 0;
    int row_ = 0;
    bool spansStarted_ = false;
    const uint8_t* pixels_ = nullptr;
};
