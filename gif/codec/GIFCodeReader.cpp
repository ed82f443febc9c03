#include "gif/codec/GIFCodeReader.h"

TGIFCodeReader::TGIFCodeReader(TStream& stream, const TGIFWarningHandler& onWarning)
    : stream_(stream), onWarning_(onWarning) {}

void TGIFCodeReader::Warn(const char* message) const {
    if (onWarning_) onWarning_(message);
}

int TGIFCodeReader::ReadCode(int bits) {
    while (bitPos_ + bits > bitEnd_) {
        if (endOfData_ || !ReadBlock()) {
            if (bitPos_ >= bitEnd_) Warn("Decoder bit buffer under-run");
            return kNoCode;
        }
    }
    const int byte = bitPos_ >> 3;
    const uint32_t window = buffer_[byte] | (buffer_[byte + 1] << 8) | (buffer_[byte + 2] << 16);
    const int code = static_cast<int>((window >> (bitPos_ & 7)) & ((1u << bits) - 1));
    bitPos_ += bits;
    return code;
}

bool TGIFCodeReader::ReadBlock() {
    uint8_t length = 0;
    if (stream_.Read(&length, 1) != 1 || length == 0) {
        endOfData_ = true;
        return false;
    }
    // Fewer than 16 bits are unread here (a code is at most 12), so they all sit in the last two
    // bytes.
    const int endByte = bitEnd_ >> 3;
    buffer_[0] = buffer_[endByte - 2];
    buffer_[1] = buffer_[endByte - 1];
    const size_t got = stream_.Read(buffer_ + kCarryBytes, length);
    if (got < length) Warn("Premature end of data");
    bitPos_ -= bitEnd_ - kCarryBytes * 8;
    bitEnd_ = (kCarryBytes + static_cast<int>(got)) * 8;
    return true;
}

void TGIFCodeReader::SkipRemainingBlocks() {
    uint8_t scratch[kMaxBlock];
    while (!endOfData_) {
        uint8_t length = 0;
        if (stream_.Read(&length, 1) != 1 || length == 0 ||
            stream_.Read(scratch, length) != length) {
            endOfData_ = true;
        }
    }
}
