#pragma once
// Lossy LZW: before a frame is coded, pixels may be changed for others that look the same
// (within what the caller allows) wherever that lets the string being coded go on. The pass
// follows the string table exactly as the LZW encoder will build it, and where the next pixel
// would end the current string it looks for the pixel's candidates that would extend it; the
// one the caller likes best among those takes the pixel's place. The encoder then codes the
// rewritten pixels exactly, with fewer and longer strings; the pass hands it the codes of those
// strings, so that it need not find them again.
//
// Four in five string ends find no candidate that extends the string: the pass keeps, beside
// the table, the set of pixels that extend each string, so that most candidates are turned down
// by a bit test instead of a lookup.
#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "gif/codec/LZWHashTable.h"
#include "gif/codec/LZWStrings.h"

// What a pixel may be changed to, asked at every string's end (a pixel in two or three), in two
// steps: Candidates gives the values pixel `index` (in coding order) might take instead of
// `value`, in the caller's order of preference for equally good ones, into `out` (at most
// TLossyLZW::kMostAlternatives), without judging them; they may repeat one another or `value`,
// which does not extend the string. Choose gets those of them that extend the string and returns
// the position of the best one it allows, or -1. Most strings end whatever the pixel becomes
// (four in five on a photograph), so the candidates are judged only when one would do. The pass
// takes the latitude as a type, not through virtual calls, so that both are compiled into its
// loop.
template <typename T>
concept LZWLatitude = requires(T latitude, size_t index, int value, uint8_t* out,
                               const uint8_t* values, int count) {
    { latitude.Candidates(index, value, out) } -> std::same_as<int>;
    { latitude.Choose(index, value, values, count) } -> std::same_as<int>;
};

class TLossyLZW {
public:
    static constexpr int kMostAlternatives = 8;

    // Rewrites `count` pixels (coded in order, not interlaced) for a code size of
    // `bitsPerPixel` (2 to 8); `strings` gets the codes of the rewritten pixels' strings.
    template <LZWLatitude Latitude>
    void Rewrite(uint8_t* pixels, size_t count, int bitsPerPixel, Latitude& latitude,
                 TLZWStrings& strings);

private:
    static constexpr int kMaxCodes = 4096;
    // As in the encoder: codes up to this one are assigned, the next miss starts a new table.
    static constexpr int kLastAssignedCode = kMaxCodes - 2;

    // A string's extending pixels, one bit each.
    using TPixelSet = std::array<uint64_t, 4>;
    static bool Holds(const TPixelSet& set, int pixel) {
        return (set[static_cast<size_t>(pixel) >> 6] >> (pixel & 63)) & 1;
    }
    // The table empty: no string of one pixel extends (longer strings' sets are emptied when
    // their codes are given out).
    void StartTable(int firstCode) {
        table_.Clear();
        std::fill(extenders_.begin(), extenders_.begin() + firstCode, TPixelSet{});
    }

    THashTable table_;
    std::array<TPixelSet, kMaxCodes> extenders_{};
};

template <LZWLatitude Latitude>
void TLossyLZW::Rewrite(uint8_t* pixels, size_t count, int bitsPerPixel, Latitude& latitude,
                        TLZWStrings& strings) {
    strings.BitsPerPixel = bitsPerPixel;
    strings.Pixels = count;
    strings.Count = 0;
    if (count == 0) return;
    // A string has at least one pixel: as many codes as pixels at most.
    if (strings.Codes.size() < count) strings.Codes.resize(count);
    uint16_t* code = strings.Codes.data();
    const int clearCode = 1 << std::clamp(bitsPerPixel, 2, 8);
    const int firstCode = clearCode + 2;
    StartTable(firstCode);
    int nextCode = firstCode;
    THashTable::TString prefix = THashTable::Pixel(pixels[0]);
    uint8_t candidates[kMostAlternatives];
    uint8_t extending[kMostAlternatives];
    for (size_t i = 1; i < count; ++i) {
        const int pixel = pixels[i];
        uint32_t slot;
        if (table_.Extend(prefix, pixel, slot)) continue;
        const int offered = latitude.Candidates(i, pixel, candidates);
        const TPixelSet& extenders = extenders_[prefix.code];
        int found = 0;
        for (int a = 0; a < offered; ++a) {
            extending[found] = candidates[a];
            found += Holds(extenders, candidates[a]) ? 1 : 0;
        }
        // Only the chosen candidate's string is looked up: the set says it is in the table.
        const int chosen = found > 0 ? latitude.Choose(i, pixel, extending, found) : -1;
        if (chosen >= 0) {
            uint32_t unused;
            table_.Extend(prefix, extending[chosen], unused);
            pixels[i] = extending[chosen];
            continue;
        }
        *code++ = static_cast<uint16_t>(prefix.code);
        if (nextCode <= kLastAssignedCode) {
            table_.StoreAt(slot, prefix, pixel, nextCode);
            extenders_[prefix.code][static_cast<size_t>(pixel) >> 6] |= uint64_t{1} << (pixel & 63);
            extenders_[nextCode++] = TPixelSet{};
        } else {
            StartTable(firstCode);
            nextCode = firstCode;
        }
        prefix = THashTable::Pixel(pixel);
    }
    *code++ = static_cast<uint16_t>(prefix.code);
    strings.Count = static_cast<size_t>(code - strings.Codes.data());
}
