#pragma once
// Run-length encoder: writes the ordinary LZW code stream, but builds no string table. It relies on
// the decoder's table growing by one entry per code, so that after a clear the codes following a
// pixel value stand for ever longer runs of that value.
#include <cstdint>

#include "gif/codec/GIFEncoder.h"

class TRLEEncoder final : public TGIFEncoder {
protected:
    void Clear() override;
    void DoCompress() override;

private:
    void CompressSpan(const uint8_t* first, const uint8_t* last);
    // Packs a code and keeps the code width and the forced clear in step with the decoder's table.
    void OutputPlain(int code);
    // Code standing for a run of `length` (2 or more) pixels of the table's value.
    int RunCode(uint64_t length) const { return baseCode_ + static_cast<int>(length) - 2; }

    void FlushRun(uint64_t count);
    void FlushClearOrRepeat(uint64_t count);
    void FlushFromClear(uint64_t count);
    void FlushWithTable(uint64_t count);
    void ResetOutClear();

    int rlPixel_ = 0;
    uint64_t rlCount_ = 0;
    int rlTableMax_ = 0;  // longest run the current table has a code for
    int rlTablePixel_ = 0;
    int outCount_ = 0;  // codes since the last clear
    int outBump_ = 0;   // count at which the code width grows
    int outClear_ = 0;  // count at which a clear is forced
    int outBumpInit_ = 0;
    int outClearInit_ = 0;
    int maxOCodes_ = 0;  // codes that fit before the table is full
};

// Codes needed for a run of `count` pixels built up from a clear, `codes` run codes being
// available: each full triangle of codes x (codes + 1) / 2 pixels costs `codes`, the rest t the
// least j with j x (j + 1) >= 2t.
uint64_t RunTriangleCost(uint64_t count, uint64_t codes);

// floor(sqrt(x)) by Newton's iteration from a power-of-two guess.
uint64_t NewtonIntegerSqrt(uint64_t x);
