#pragma once
// Drawn pixels with no drawn pixel among the eight around them, found eight at a time: each row
// becomes a row of flags (1 drawn, 0 not) with a 0 on either side, and the flags around eight
// pixels are the OR of eight words read from the rows above, below and their own.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class TLonePixels {
public:
    // Calls lone(x, y) for each such pixel of the width x height `indices` (a pixel is drawn
    // unless it is `transparent`), row by row, left to right. Changes `lone` makes to the
    // indices are not seen, nor need they be: the neighbours of a lone pixel are none of them
    // drawn, so leaving it out leaves no other pixel alone.
    template <typename Lone>
    void Find(const uint8_t* indices, int width, int height, uint8_t transparent, Lone&& lone);

private:
    static_assert(std::endian::native == std::endian::little, "byte k of a word is pixel k");
    // The flags of a row at flags + 1 on.
    static void FlagRow(const uint8_t* row, int width, uint8_t transparent, uint8_t* flags);
    static uint64_t Eight(const uint8_t* flags) {
        uint64_t word;
        std::memcpy(&word, flags, sizeof(word));
        return word;
    }
    // The flags of row y: one of three rows in turn, the row of zeros outside the picture.
    uint8_t* FlagsOf(int y, int height) {
        const size_t row = y < 0 || y >= height ? 3 : static_cast<size_t>(y % 3);
        return flags_.data() + row * rowBytes_;
    }

    size_t rowBytes_ = 0;  // width + 2 flags, and eight more for the last word read
    std::vector<uint8_t> flags_;
};

template <typename Lone>
void TLonePixels::Find(const uint8_t* indices, int width, int height, uint8_t transparent,
                       Lone&& lone) {
    if (width <= 0 || height <= 0) return;
    rowBytes_ = static_cast<size_t>(width) + 2 + 8;
    flags_.assign(4 * rowBytes_, 0);
    FlagRow(indices, width, transparent, FlagsOf(0, height));
    for (int y = 0; y < height; ++y) {
        if (y + 1 < height)
            FlagRow(indices + static_cast<size_t>(y + 1) * width, width, transparent,
                    FlagsOf(y + 1, height));
        const uint8_t* above = FlagsOf(y - 1, height);
        const uint8_t* current = FlagsOf(y, height);
        const uint8_t* below = FlagsOf(y + 1, height);
        for (int x = 0; x < width; x += 8) {
            // Byte k of each word: the flag of pixel x + k, or of its neighbour to the left or
            // to the right. Flags past the row's end are 0.
            const uint64_t drawn = Eight(current + x + 1);
            if (drawn == 0) continue;
            const uint64_t around = Eight(above + x) | Eight(above + x + 1) | Eight(above + x + 2) |
                                    Eight(current + x) | Eight(current + x + 2) | Eight(below + x) |
                                    Eight(below + x + 1) | Eight(below + x + 2);
            for (uint64_t alone = drawn & ~around; alone != 0; alone &= alone - 1)
                lone(x + std::countr_zero(alone) / 8, y);
        }
    }
}
