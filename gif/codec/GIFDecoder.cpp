#include "gif/codec/GIFDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "gif/codec/GIFCodeReader.h"
#include "gif/core/GIFException.h"
#include "gif/format/Interlace.h"

namespace {

constexpr int kMaxCodeSize = 8;
constexpr int kTableSize = 4096;
constexpr int kLastCode = kTableSize - 1;

// The LZW string table and the stack a string is unwound onto, pixels coming off one at a time.
class TLZWDecoder {
public:
    TLZWDecoder(TStream& stream, const TGIFWarningHandler& onWarning, int codeSize)
        : reader_(stream, onWarning),
          codeSize_(codeSize),
          clearCode_(1 << codeSize),
          endCode_(clearCode_ + 1) {}

    // The next pixel, or -1 once the end code, the end of the data or a stop condition is reached.
    int NextPixel() {
        if (stackTop_ > 0) return stack_[--stackTop_];
        return DecodeCode();
    }
    // After the last pixel: reads the code that should be the end code and skips what is left.
    void Finish() {
        if (!ended_) ReadCode();
        reader_.SkipRemainingBlocks();
    }

private:
    int ReadCode() {
        if (!started_) {
            started_ = true;
            return clearCode_;
        }
        return reader_.ReadCode(codeBits_);
    }
    void ResetTable();
    int DecodeCode();
    int Stop() {
        ended_ = true;
        return -1;
    }
    void Push(uint8_t pixel) {
        // No sound table yields a string longer than the stack; only a loop among entries can.
        if (stackTop_ >= kTableSize) throw GIFException("Circular decoder table entry");
        stack_[stackTop_++] = pixel;
    }

    TGIFCodeReader reader_;
    const int codeSize_;
    const int clearCode_;
    const int endCode_;
    int codeBits_ = 0;
    int limit_ = 0;
    int nextCode_ = 0;
    int firstPixel_ = 0;
    int previousCode_ = 0;
    bool started_ = false;
    bool ended_ = false;
    uint16_t prefix_[kTableSize] = {};
    uint8_t suffix_[kTableSize] = {};
    uint8_t stack_[kTableSize] = {};
    int stackTop_ = 0;
};

void TLZWDecoder::ResetTable() {
    for (int i = 0; i < clearCode_; ++i) {
        prefix_[i] = 0;
        suffix_[i] = static_cast<uint8_t>(i);
    }
    std::memset(prefix_ + clearCode_, 0, sizeof(prefix_[0]) * (kTableSize - clearCode_));
    std::memset(suffix_ + clearCode_, 0, sizeof(suffix_[0]) * (kTableSize - clearCode_));
    codeBits_ = codeSize_ + 1;
    limit_ = 2 * clearCode_;
    nextCode_ = clearCode_ + 2;
}

int TLZWDecoder::DecodeCode() {
    int code = ReadCode();
    if (code < 0) return Stop();
    if (code == clearCode_) {
        ResetTable();
        do {
            code = ReadCode();
        } while (code == clearCode_);
        if (code < 0 || code == endCode_) return Stop();
        firstPixel_ = suffix_[code];
        previousCode_ = code;
        return firstPixel_;
    }
    if (code == endCode_) return Stop();

    const int readCode = code;
    if (code >= nextCode_) {
        Push(static_cast<uint8_t>(firstPixel_));
        code = previousCode_;
    }
    while (code >= clearCode_) {
        if (prefix_[code] == code) throw GIFException("Circular decoder table entry");
        Push(suffix_[code]);
        code = prefix_[code];
    }
    firstPixel_ = suffix_[code];
    Push(static_cast<uint8_t>(firstPixel_));

    if (nextCode_ <= kLastCode) {
        prefix_[nextCode_] = static_cast<uint16_t>(previousCode_);
        suffix_[nextCode_] = static_cast<uint8_t>(firstPixel_);
        ++nextCode_;
        if (nextCode_ >= limit_ && limit_ <= kLastCode) {
            limit_ *= 2;
            ++codeBits_;
        }
    }
    previousCode_ = readCode;
    return stack_[--stackTop_];
}

// Fills one row; returns the pixels filled, fewer than `width` when the data stopped first.
int DecodeRow(TLZWDecoder& decoder, uint8_t* row, int width) {
    for (int x = 0; x < width; ++x) {
        const int pixel = decoder.NextPixel();
        if (pixel < 0) return x;
        row[x] = static_cast<uint8_t>(pixel);
    }
    return width;
}

size_t DecodeRows(TLZWDecoder& decoder, const TGIFRowTarget& rowAt, int width, int height,
                  bool interlaced) {
    if (width <= 0 || height <= 0) return 0;
    size_t decoded = 0;
    int pass = 0;
    int row = 0;
    do {
        uint8_t* pixels = rowAt(row);
        if (!pixels) break;
        const int filled = DecodeRow(decoder, pixels, width);
        decoded += static_cast<size_t>(filled);
        if (filled < width) break;
    } while (interlaced ? NextInterlacedRow(height, pass, row) : ++row < height);
    return decoded;
}

}  // namespace

size_t DecodeGIFImageData(TStream& stream, const TGIFRowTarget& rowAt, int width, int height,
                          bool interlaced, const TGIFWarningHandler& onWarning) {
    uint8_t codeSize = 0;
    if (stream.Read(&codeSize, 1) != 1) return 0;
    TLZWDecoder decoder(stream, onWarning, std::min<int>(codeSize, kMaxCodeSize));
    const size_t decoded = DecodeRows(decoder, rowAt, width, height, interlaced);
    decoder.Finish();
    return decoded;
}

void DecodeGIFImageData(TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                        const TGIFWarningHandler& onWarning) {
    const auto rowAt = [pixels, width](int row) {
        return pixels ? pixels + static_cast<size_t>(row) * static_cast<size_t>(width) : nullptr;
    };
    DecodeGIFImageData(stream, rowAt, width, height, interlaced, onWarning);
}
