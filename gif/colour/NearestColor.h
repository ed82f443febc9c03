#pragma once
// The nearest palette entry to a colour, by the weighted colour distance, at the cost of a few
// comparisons a pixel. The colour cube is divided into cells of 4 levels a channel; the first
// colour looked up in a cell finds, once, the three entries nearest to the cell's centre, and
// every lookup in the cell takes the nearest of those three. Near the boundary between two
// entries a colour may get the second nearest by a level or two of difference, never more.
//
// A palette is set once and then looked up many times; setting another one forgets the cells at
// no cost. One object serves one thread.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/colour/PaletteSearch.h"
#include "gif/core/GIFTypes.h"

class TNearestColor {
public:
    TNearestColor();

    // The palette to look up in (copied); at most 256 colours.
    void SetPalette(const TGIFColor* colors, int count);
    void SetPalette(const std::vector<TGIFColor>& colors) {
        SetPalette(colors.data(), static_cast<int>(colors.size()));
    }
    int Count() const { return count_; }
    const TGIFColor& Color(int index) const { return colors_[index]; }
    const TGIFColor* Colors() const { return colors_; }

    // The nearest of the cell's entries. Not for an empty palette.
    int Find(int r, int g, int b) {
        const size_t cell = static_cast<size_t>(((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2));
        uint64_t filled = cells_[cell];
        if (static_cast<uint32_t>(filled >> 32) != stamp_) filled = FillCell(cell);
        uint32_t entries = static_cast<uint32_t>(filled);
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

private:
    static constexpr size_t kCellCount = size_t{1} << 18;
    // Finds the cell's entries; returns what cells_ then holds for it.
    uint64_t FillCell(size_t cell);

    int count_ = 0;
    TGIFColor colors_[256];
    TPaletteSearch search_;
    // Per cell: the stamp of the palette it was filled for (high half), and its entries (three
    // bytes) with their count in the top byte (low half); one load a lookup.
    uint32_t stamp_ = 0;
    std::vector<uint64_t> cells_;
};
