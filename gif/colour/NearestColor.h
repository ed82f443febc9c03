#pragma once
// The nearest palette entry to a colour, by the weighted colour distance, at the cost of a few
// comparisons a pixel. The colour cube is divided twice:
//   - coarse cells of 16 levels a channel, each of which lists, once, every entry that can be
//     nearest to some colour of the cell (those not farther from the cell's centre than the
//     nearest entry plus the cell's diagonal);
//   - fine cells of 4 levels a channel, each of which keeps the three entries of its coarse
//     cell's list nearest to its centre.
// A lookup takes the nearest of its fine cell's three entries. Near the boundary between two
// entries a colour may get the second nearest by a level or two of difference, never more.
// Cells are filled when a colour first falls into them.
//
// A palette is set once and then looked up many times; setting another one forgets the cells at
// no cost. One object serves one thread.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/core/GIFTypes.h"

class TNearestColor {
public:
    // Entries a fine cell keeps.
    static constexpr int kCellEntries = 3;

    TNearestColor();

    // The palette to look up in (copied); at most 256 colours.
    void SetPalette(const TGIFColor* colors, int count);
    void SetPalette(const std::vector<TGIFColor>& colors) {
        SetPalette(colors.data(), static_cast<int>(colors.size()));
    }
    int Count() const { return count_; }
    const TGIFColor& Color(int index) const { return colors_[index]; }

    // The nearest of the cell's entries. Not for an empty palette.
    int Find(int r, int g, int b) { return Nearest(CellOf(r, g, b), r, g, b); }
    // The entries of the colour's fine cell (up to kCellEntries, nearest to the cell's centre
    // first), packed: a byte each from the lowest up, their count in the top byte. Find gives
    // the nearest of them.
    uint32_t CellEntries(int r, int g, int b) { return CellOf(r, g, b); }
    // The nearest to (r, g, b) of the packed entries.
    int Nearest(uint32_t entries, int r, int g, int b) const {
        int best = static_cast<int>(entries & 0xFF);
        int bestDistance = ColorDistance(colors_[best], r, g, b);
        for (int more = static_cast<int>(entries >> 24) - 1; more > 0; --more) {
            entries >>= 8;
            const int index = static_cast<int>(entries & 0xFF);
            const int d = ColorDistance(colors_[index], r, g, b);
            if (d < bestDistance || (d == bestDistance && index < best)) {
                bestDistance = d;
                best = index;
            }
        }
        return best;
    }
    // The packed entries one by one: the count, and entry i.
    static int EntryCount(uint32_t entries) { return static_cast<int>(entries >> 24); }
    static int Entry(uint32_t entries, int i) {
        return static_cast<int>((entries >> (8 * i)) & 0xFF);
    }

private:
    static constexpr size_t kFineCells = size_t{1} << 18;
    static constexpr size_t kCoarseCells = size_t{1} << 12;

    // The fine cell's entries, three bytes with their count in the top byte.
    uint32_t CellOf(int r, int g, int b) {
        const size_t cell = static_cast<size_t>(((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2));
        const uint64_t filled = fine_[cell];
        if (static_cast<uint32_t>(filled >> 32) == stamp_) return static_cast<uint32_t>(filled);
        return FillFineCell(cell);
    }
    uint32_t FillFineCell(size_t cell);
    // The coarse cell's list: where it starts in coarseEntries_ and how long it is.
    uint32_t CoarseList(size_t coarse);
    uint32_t FillCoarseCell(size_t coarse);

    int count_ = 0;
    TGIFColor colors_[256];
    // Cells remember the stamp of the palette they were filled for (high half of a fine cell,
    // a coarse cell's own), so setting a palette forgets them all by changing the stamp.
    uint32_t stamp_ = 0;
    std::vector<uint64_t> fine_;
    std::vector<uint32_t> coarseStamp_;
    std::vector<uint32_t> coarse_;  // offset << 9 | length
    std::vector<uint8_t> coarseEntries_;
};
