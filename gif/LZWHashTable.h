#pragma once
// The LZW encoder's string table: (prefix code, pixel) keys to codes, open-addressed.
//
// A GIF string table holds at most 4096 codes, so the table, four times that size, never fills
// and always answers exactly; how it hashes does not change the codes. It is that large because
// a lookup that misses its home slot costs a mispredicted branch, which costs more than the
// cache misses of a table larger than the first-level cache. The home slot is cheap to reach
// from the prefix (the code found by the previous lookup) because every pixel of a frame waits
// for that lookup: the prefix times four, xor-ed with a fixed random number for the pixel.
// Distinct prefixes followed by the same pixel never share a home slot.
#include <array>
#include <cstdint>

// A fixed random number below 16384 for each pixel value (Fibonacci hashing).
constexpr std::array<int, 256> MakeLZWPixelMix() {
    std::array<int, 256> mix{};
    for (uint32_t pixel = 0; pixel < 256; ++pixel)
        mix[pixel] = static_cast<int>(((pixel + 1) * 2654435761u) >> 18);
    return mix;
}

class THashTable {
public:
    static constexpr int kSize = 16384;
    static constexpr int kNotFound = -1;

    // Every entry free.
    void Clear();

    // Key of the string `prefix` (a code below 4096) followed by `pixel` (below 256).
    static uint32_t Key(int prefix, int pixel) {
        return (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(pixel);
    }

    // The code stored for the string, or kNotFound; `slot` receives the slot holding it or, when
    // it is not found, the free slot an insertion of it takes.
    int Find(int prefix, int pixel, int& slot) const {
        const uint32_t key = Key(prefix, pixel);
        slot = HomeSlot(prefix, pixel);
        for (;;) {
            const uint32_t entry = entries_[slot];
            if ((entry >> kCodeBits) == key) return static_cast<int>(entry & kCodeMask);
            if (entry == kFreeEntry) return kNotFound;
            slot = (slot + 1) & kSlotMask;
        }
    }
    int Find(int prefix, int pixel) const {
        int unused;
        return Find(prefix, pixel, unused);
    }

    // Stores a code for a string in the slot Find gave for it.
    void StoreAt(int slot, int prefix, int pixel, int code) {
        entries_[slot] = (Key(prefix, pixel) << kCodeBits) | static_cast<uint32_t>(code);
        ++count_;
    }
    // Stores a code for a string; false when the string is there already or the table holds
    // kCapacity strings.
    bool Insert(int prefix, int pixel, int code);

    static int HomeSlot(int prefix, int pixel) {
        return ((prefix << 2) ^ kPixelMix[pixel]) & kSlotMask;
    }

    // At least one slot stays free, so that a lookup always ends.
    static constexpr int kCapacity = kSize - 1;

private:
    static constexpr int kCodeBits = 12;
    static constexpr uint32_t kCodeMask = (1u << kCodeBits) - 1;
    static constexpr int kSlotMask = kSize - 1;
    static constexpr uint32_t kFreeEntry = 0xFFFFFFFFu;  // key bits all ones: no string has that key

    static constexpr std::array<int, 256> kPixelMix = MakeLZWPixelMix();

    uint32_t entries_[kSize];
    int count_ = 0;
};
