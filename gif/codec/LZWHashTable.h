#pragma once
// The LZW encoder's string table: (prefix string, pixel) keys to codes, open-addressed.
//
// A GIF string table holds at most 4096 codes, so the table, four times that size, never fills
// and always answers exactly; how it hashes does not change the codes. It is that large because
// a lookup that misses its home slot costs a mispredicted branch, which costs more than the
// cache misses of a table larger than the first-level cache.
//
// Every pixel of a frame waits for the lookup before it, so the next home slot is one shift and
// one xor away from the entry just found: a string carries a base number (its code times four,
// plus two bits of its own entry), xor-ed with a fixed random number for the pixel. Distinct
// strings have distinct bases, so strings followed by the same pixel never share a home slot.
//
// Strings of two pixels, looked up after every miss, have a table of their own indexed by both
// pixels: no hashing and no probing.
#include <array>
#include <cstdint>

// A fixed random number below 16384 for each pixel value (Fibonacci hashing).
constexpr std::array<uint32_t, 256> MakeLZWPixelMix() {
    std::array<uint32_t, 256> mix{};
    for (uint32_t pixel = 0; pixel < 256; ++pixel) mix[pixel] = ((pixel + 1) * 2654435761u) >> 18;
    return mix;
}

class THashTable {
public:
    static constexpr int kSize = 16384;
    // At least one slot stays free, so that a lookup always ends.
    static constexpr int kCapacity = kSize - 1;

    // A string as the table extends it: its code (below 4096) and its base.
    struct TString {
        uint32_t code;
        uint32_t base;
    };
    // The string of one pixel value: the code is the value.
    static TString Pixel(int pixel) {
        return {static_cast<uint32_t>(pixel), static_cast<uint32_t>(pixel) << 2};
    }

    // Every entry free.
    THashTable();
    void Clear();

    // Looks up `string` followed by `pixel` (below 256): when it is there, true with `string`
    // now the longer string; else false with `slot` the free slot it belongs in.
    bool Extend(TString& string, int pixel, uint32_t& slot) const {
        if (string.code < kPixelCodes) {
            slot = (string.code << 8) | static_cast<uint32_t>(pixel);
            const uint32_t code = pairs_[slot];
            if (code == kNoPair) return false;
            string = {code, code << 2};
            return true;
        }
        const uint32_t key = Key(string.code, pixel);
        slot = string.base ^ kPixelMix[pixel];
        for (;;) {
            const uint32_t entry = entries_[slot];
            if ((entry & kKeyMask) == key) {
                string = {entry >> kCodeShift, entry >> kBaseShift};
                return true;
            }
            if (entry == kFreeEntry) return false;
            slot = (slot + 1) & kSlotMask;
        }
    }
    // Stores the code of `string` followed by `pixel` in the slot Extend gave for it.
    void StoreAt(uint32_t slot, const TString& string, int pixel, int code) {
        if (string.code < kPixelCodes) {
            StorePair(slot, code);
            return;
        }
        entries_[slot] = (static_cast<uint32_t>(code) << kCodeShift) | Key(string.code, pixel);
        ++count_;
    }
    // Stores a code for `string` followed by `pixel`; false when that is there already or the
    // hashed table holds kCapacity strings.
    bool Insert(const TString& string, int pixel, int code);

private:
    static constexpr uint32_t kPixelCodes = 256;
    // Entries: the code in the top 12 bits, the key (prefix code, pixel) in the low 20; the base
    // of the entry's string is its top 14 bits.
    static constexpr int kCodeShift = 20;
    static constexpr int kBaseShift = 18;
    static constexpr uint32_t kKeyMask = (1u << kCodeShift) - 1;
    static constexpr uint32_t kSlotMask = kSize - 1;
    // Key bits all ones: no string has prefix code 4095.
    static constexpr uint32_t kFreeEntry = 0xFFFFFFFFu;
    static constexpr std::array<uint32_t, 256> kPixelMix = MakeLZWPixelMix();
    static constexpr uint16_t kNoPair = 0xFFFF;
    // Pairs stored since the last clear are remembered (as many as a string table has codes),
    // so that a clear empties only those.
    static constexpr int kRememberedPairs = 4096;

    static uint32_t Key(uint32_t prefix, int pixel) {
        return (prefix << 8) | static_cast<uint32_t>(pixel);
    }
    void StorePair(uint32_t slot, int code) {
        pairs_[slot] = static_cast<uint16_t>(code);
        if (pairCount_ < kRememberedPairs) storedPairs_[pairCount_] = static_cast<uint16_t>(slot);
        ++pairCount_;
    }

    uint32_t entries_[kSize];
    int count_ = 0;
    uint16_t pairs_[kPixelCodes * kPixelCodes];
    uint16_t storedPairs_[kRememberedPairs];
    int pairCount_ = 0;
};
