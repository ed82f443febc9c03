#pragma once
// Lossy LZW: before a frame is coded, pixels may be changed for others that look the same
// (within what the caller allows) wherever that lets the string being coded go on. The pass
// follows the string table exactly as the LZW encoder will build it, and where the next pixel
// would end the current string it tries the pixel's alternatives in the caller's order; the
// first that extends the string takes the pixel's place. The encoder then codes the rewritten
// pixels exactly, with fewer and longer strings.
#include <cstddef>
#include <cstdint>

#include "gif/codec/LZWHashTable.h"

// What a pixel may be changed to.
class TLZWLatitude {
public:
    static constexpr int kMostAlternatives = 8;
    virtual ~TLZWLatitude() = default;
    // The values pixel `index` (in coding order) may take instead of `value`, best first, into
    // `out`; returns how many (at most kMostAlternatives).
    virtual int Alternatives(size_t index, int value, uint8_t* out) = 0;
};

class TLossyLZW {
public:
    // Rewrites `count` pixels (coded in order, not interlaced) for a code size of
    // `bitsPerPixel` (2 to 8).
    void Rewrite(uint8_t* pixels, size_t count, int bitsPerPixel, TLZWLatitude& latitude);

private:
    THashTable table_;
};
