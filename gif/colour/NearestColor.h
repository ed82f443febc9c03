#pragma once
// The nearest palette entry to a colour, by the weighted colour distance, at the cost of a few
// comparisons a pixel. The colour cube is divided three times, each division's cells filled
// when a colour first falls into them:
//   - cells of 16 levels a channel, then of 8, each listing every entry that can be nearest to
//     some colour of the cell (those not farther from the cell's centre than its nearest entry
//     plus the cell's diagonal), found among the list of the cell it lies in;
//   - fine cells of 4 levels, each keeping the three entries of its 8-level cell's list
//     nearest to its centre.
// A lookup takes the nearest of its fine cell's three entries. Near the boundary between two
// entries a colour may get the second nearest by a level or two of difference, never more.
//
// A palette is set once and then looked up many times; setting another one forgets the cells at
// no cost. The cells' tables (over a megabyte) are made when the first palette is set, so that a
// lookup kept for a use that does not come costs no memory. One object serves one thread.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/core/GIFTypes.h"
#include "platform/ZeroedTable.h"

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
    // The entries of the colour's fine cell (kCellEntries of them, nearest to the cell's centre
    // first; a palette of fewer entries repeats its last), packed a byte each from the lowest
    // up. Find gives the nearest of them.
    uint32_t CellEntries(int r, int g, int b) { return CellOf(r, g, b); }
    // Asks the processor to fetch the colour's fine cell ahead of a lookup: the cells' table
    // is larger than the nearest cache, and lookups of scattered colours wait on it. After
    // SetPalette only.
    void Prefetch(int r, int g, int b) const { __builtin_prefetch(&fine_[FineCellOf(r, g, b)]); }
    // CellEntries of the `count` pixels of a row of blue, green, red bytes, into `entries`; with
    // `moved`, of those whose byte there is not zero only (the others' entries are left as they
    // are or made up). Eight pixels at a time where the processor can.
    void CellEntriesRow(const uint8_t* bgr, int count, const uint8_t* moved, uint32_t* entries);
    // The palette as words of red | green << 8 | blue << 16, all 256 (0 past Count()), for
    // lookups of several entries at once.
    const uint32_t* PackedColors() const { return packed_; }
    // The nearest to (r, g, b) of the packed entries, the lower index among equally near ones.
    // Each entry's distance and index make one key, and the smallest key wins: no branch to
    // mispredict where two entries are about as near.
    int Nearest(uint32_t entries, int r, int g, int b) const {
        uint32_t best = UINT32_MAX;
        for (int i = 0; i < kCellEntries; ++i, entries >>= 8)
            best = std::min(best, NearestKey(static_cast<int>(entries & 0xFF), r, g, b));
        return static_cast<int>(best & 0xFF);
    }
    // The key of `index` for the colour (r, g, b): its distance above, its index below.
    uint32_t NearestKey(int index, int r, int g, int b) const {
        static_assert(kMaxColorDistance < (1 << 24), "a distance and an index fit a key");
        return (static_cast<uint32_t>(ColorDistance(colors_[index], r, g, b)) << 8) |
               static_cast<uint32_t>(index);
    }
    // Entry i of the packed entries.
    static int Entry(uint32_t entries, int i) {
        return static_cast<int>((entries >> (8 * i)) & 0xFF);
    }

private:
    static constexpr size_t kFineCells = size_t{1} << 18;

    // The cells of one division into lists: cells of 2^(8 - Bits) levels a channel.
    struct TListLevel {
        // A cell's stamp and list side by side: a lookup that finds the cell filled reads one
        // cache line.
        struct TCell {
            uint32_t Stamp;
            uint32_t List;  // offset << 9 | length, into Entries
        };
        int Bits;
        TZeroedTable<TCell> Cells;
        std::vector<uint8_t> Entries;  // the lists of this palette: the first Used bytes
        size_t Used = 0;
        explicit TListLevel(int bits) : Bits(bits), Cells(0) {}
        void MakeTables();
        static size_t CellOf(int r, int g, int b, int bits) {
            const int shift = 8 - bits;
            return (static_cast<size_t>(r >> shift) << (2 * bits)) |
                   (static_cast<size_t>(g >> shift) << bits) | static_cast<size_t>(b >> shift);
        }
    };

    static size_t FineCellOf(int r, int g, int b) {
        return static_cast<size_t>(((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2));
    }
    // The fine cell's entries, three bytes.
    uint32_t CellOf(int r, int g, int b) {
        const size_t cell = FineCellOf(r, g, b);
        const uint32_t filled = fine_[cell];
        if ((filled >> 24) == (stamp_ & 0xFF)) return filled & 0xFFFFFF;
        return FillFineCell(cell, r, g, b);
    }
    uint32_t FillFineCell(size_t cell, int r, int g, int b);
    // FillFineCell for the fine cell of (r, g, b) and its seven siblings in the 8-level cell
    // whose list is `list`, eight at a time.
    uint32_t FillSiblingCellsWide(uint32_t list, int r, int g, int b);
    // CellEntriesRow eight pixels at a time, as far as whole groups of eight go; returns how far.
    int CellEntriesRowWide(const uint8_t* bgr, int count, const uint8_t* moved, uint32_t* entries);
    int PaletteDistances(int r, int g, int b, int count, int* distances) const;
    int ListDistances(const uint8_t* list, int count, int r, int g, int b, int* distances) const;
    // The list of the cell of `level` holding (r, g, b), filled from `parent`'s (or from the
    // whole palette without one) when it is not yet.
    uint32_t ListOf(TListLevel& level, const TListLevel* parent, int r, int g, int b);

    int count_ = 0;
    TGIFColor colors_[256];
    // The palette's channels apart, and kFarAway past its end, as 16-bit pairs (red and green,
    // blue and 0): the whole palette's distances to a colour are computed a vector at a time,
    // each channel's product and the sum of a pair in one multiply-add.
    static constexpr int kFarAway = 4096;
    // Loops over entries run over a multiple of this many.
    static constexpr int kVectorEntries = 16;
    alignas(16) int16_t redGreen_[2 * 256];
    alignas(16) int16_t blueZero_[2 * 256];
    uint8_t all_[256];  // 0, 1, 2, ...: the whole palette as a list
    uint32_t packed_[256] = {};
    // Cells remember the stamp of the palette they were filled for, so setting a palette
    // forgets them all by changing the stamp (a fine cell keeps its low byte).
    uint32_t stamp_ = 0;
    TZeroedTable<uint32_t> fine_;  // stamp << 24 | entries
    TListLevel wide_{4};
    TListLevel middle_{5};
};
