#pragma once
// Reads variable-width codes, least significant bit first, from GIF data sub-blocks. The last two
// bytes of a sub-block are kept in front of the next one, so a code may straddle sub-blocks.
#include <cstdint>

#include "gif/core/GIFWarning.h"
#include "platform/Stream.h"

class TGIFCodeReader {
public:
    static constexpr int kNoCode = -1;

    TGIFCodeReader(TStream& stream, const TGIFWarningHandler& onWarning);

    // The next code of `bits` bits (at most 16), or kNoCode when the data ends first. Running out
    // with no bits at all left issues the warning "Decoder bit buffer under-run".
    int ReadCode(int bits);
    // Consumes the rest of the sub-blocks up to and including the zero-length one.
    void SkipRemainingBlocks();
    // The zero-length sub-block (or the end of the stream) has been reached.
    bool EndOfData() const { return endOfData_; }

private:
    static constexpr int kCarryBytes = 2;
    static constexpr int kMaxBlock = 255;

    // Reads the next sub-block behind the carried bytes; false at the end of the data.
    bool ReadBlock();
    void Warn(const char* message) const;

    TStream& stream_;
    const TGIFWarningHandler& onWarning_;
    // Carried bytes, one sub-block, and slack so a code can be fetched with a fixed three-byte
    // read.
    uint8_t buffer_[kCarryBytes + kMaxBlock + 2] = {};
    int bitPos_ = kCarryBytes * 8;
    int bitEnd_ = kCarryBytes * 8;
    bool endOfData_ = false;
};
