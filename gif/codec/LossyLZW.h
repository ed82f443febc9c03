#pragma once
// Lossy LZW: before a frame is coded, pixels may be changed for others that look the same
// (within what the caller allows) wherever that lets the string being coded go on. The pass
// follows the string table exactly as the LZW encoder will build it, and where the next pixel
// would end the current string it tries the pixel's alternatives in the caller's order; the
// first that extends the string takes the pixel's place. The encoder then codes the rewritten
// pixels exactly, with fewer and longer strings.
#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "gif/codec/LZWHashTable.h"

// What a pixel may be changed to: the values pixel `index` (in coding order) may take instead of
// `value`, best first, into `out`; returns how many (at most TLossyLZW::kMostAlternatives). It
// is asked at every string's end, a pixel in two or three: the pass takes it as a type, not
// through a virtual call, so that it is compiled into the loop.
template <typename T>
concept LZWLatitude = requires(T latitude, size_t index, int value, uint8_t* out) {
    { latitude.Alternatives(index, value, out) } -> std::same_as<int>;
};

class TLossyLZW {
public:
    static constexpr int kMostAlternatives = 8;

    // Rewrites `count` pixels (coded in order, not interlaced) for a code size of
    // `bitsPerPixel` (2 to 8).
    template <LZWLatitude Latitude>
    void Rewrite(uint8_t* pixels, size_t count, int bitsPerPixel, Latitude& latitude);

private:
    static constexpr int kMaxCodes = 4096;
    // As in the encoder: codes up to this one are assigned, the next miss starts a new table.
    static constexpr int kLastAssignedCode = kMaxCodes - 2;

    THashTable table_;
};

template <LZWLatitude Latitude>
void TLossyLZW::Rewrite(uint8_t* pixels, size_t count, int bitsPerPixel, Latitude& latitude) {
    if (count == 0) return;
    const int clearCode = 1 << std::clamp(bitsPerPixel, 2, 8);
    const int firstCode = clearCode + 2;
    table_.Clear();
    int nextCode = firstCode;
    THashTable::TString prefix = THashTable::Pixel(pixels[0]);
    uint8_t alternatives[kMostAlternatives];
    for (size_t i = 1; i < count; ++i) {
        const int pixel = pixels[i];
        uint32_t slot;
        if (table_.Extend(prefix, pixel, slot)) continue;
        const int found = latitude.Alternatives(i, pixel, alternatives);
        bool extended = false;
        for (int a = 0; a < found && !extended; ++a) {
            THashTable::TString longer = prefix;
            uint32_t unused;
            if (table_.Extend(longer, alternatives[a], unused)) {
                prefix = longer;
                pixels[i] = alternatives[a];
                extended = true;
            }
        }
        if (extended) continue;
        if (nextCode <= kLastAssignedCode) {
            table_.StoreAt(slot, prefix, pixel, nextCode++);
        } else {
            table_.Clear();
            nextCode = firstCode;
        }
        prefix = THashTable::Pixel(pixel);
    }
}
