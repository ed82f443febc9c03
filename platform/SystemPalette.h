#pragma once
// The platform's fixed palettes and its nearest-palette-index query.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

// The 20 static system colours of the default palette.
const TPalette& SystemPalette20();
// The 256-entry halftone palette: system colours 0-9, the 6x6x6 cube (red slowest),
// a 20-step grey ramp, system colours 10-19.
const TPalette& HalftonePalette();
// The 16-colour palette of 4-bit bitmaps: system colours 0-7 and 12-19.
const TPalette& VGAPalette16();

// Nearest palette entry: the entry with the smallest squared distance, the lowest index on a
// tie. Answers are exact; colours are searched among per-cell candidate lists (usually one to
// four entries), so a query does not scan the palette.
class TNearestColorIndex {
public:
    explicit TNearestColorIndex(const TPalette& palette);
    ~TNearestColorIndex();
    // The entry nearest to (r, g, b), or -1 for an empty palette.
    int Find(uint8_t r, uint8_t g, uint8_t b) {
        const FineCellEntry& cell = fineCells_[FineCellOf(r, g, b)];
        if (cell.lanes >= 0) return RankLanes(lanes_[cell.lanes], r, g, b);
        return FindInPool(r, g, b);
    }
    // Find for `count` pixels of blue-green-red bytes, the answers stored as bytes.
    void FindRow(const uint8_t* bgr, int count, uint8_t* indices);
    int Count() const { return static_cast<int>(palette_.size()); }

private:
    // The palette entries that can be nearest to some colour of a cell, ordered by their
    // distance to the cell's box. Coarse cells (16 x 16 x 16 colours) are computed from the whole
    // palette, fine cells (8 x 8 x 8) from their coarse cell's list; both when first asked for.
    struct CellRange {
        int32_t offset = -1;
        int32_t count = 0;
    };
    // A fine cell with up to four candidates (most cells) keeps them as lanes ranked side by
    // side (shorter lists are padded with their first entry); longer lists stay in the pool.
    static constexpr int kLaneCount = 4;
    using Lane = int32_t __attribute__((vector_size(16)));
    struct CandidateLanes {
        Lane red, green, blue, index;
    };
    struct FineCellEntry {
        int32_t offset = -1;  // pool range; -1 until the cell is built
        int32_t poolCount = 0;
        int32_t lanes = -1;  // index into lanes_, or -1 for a pool list
    };
    // Squared distances along one axis from each entry to the nearest and the farthest value of
    // each cell position (16 coarse or 32 fine positions per axis).
    struct AxisTables {
        std::vector<uint16_t> nearSq;  // [axis][position][entry]
        std::vector<uint16_t> farSq;
    };

    static int FineCellOf(uint8_t r, uint8_t g, uint8_t b) {
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    }
    // Rank by (distance << 8 | index): the smallest key is the nearest entry, the lowest index
    // on a tie.
    uint32_t Key(uint8_t index, int r, int g, int b) const {
        const TPaletteEntry& e = palette_[index];
        const int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
        return (static_cast<uint32_t>(dr * dr + dg * dg + db * db) << 8) | index;
    }
    static int RankLanes(const CandidateLanes& c, int r, int g, int b) {
        const Lane dr = c.red - r, dg = c.green - g, db = c.blue - b;
        Lane key = ((dr * dr + dg * dg + db * db) << 8) | c.index;
        Lane swapped = __builtin_shuffle(key, Lane{2, 3, 0, 1});
        key = key < swapped ? key : swapped;
        swapped = __builtin_shuffle(key, Lane{1, 0, 3, 2});
        key = key < swapped ? key : swapped;
        return key[0] & 0xFF;
    }
    int FindInPool(uint8_t r, uint8_t g, uint8_t b);
    const CellRange& CoarseCell(int cell);
    const FineCellEntry& FineCell(int cell);
    CellRange BuildCell(const AxisTables& tables, int positions, int rPos, int gPos, int bPos,
                        const uint8_t* entries, int entryCount);
    void BuildAxisTables(AxisTables& tables, int positions) const;
    bool Dominates(int f, int e, int rLo, int gLo, int bLo, int span) const;
    int DropDominated(uint64_t* order, int count, const uint8_t* entries, int rLo, int gLo, int bLo,
                      int span) const;

    TPalette palette_;
    AxisTables coarseAxes_;
    AxisTables fineAxes_;
    std::vector<CellRange> coarseCells_;
    std::vector<FineCellEntry> fineCells_;
    std::vector<CandidateLanes> lanes_;
    std::vector<uint8_t> candidatePool_;
    std::vector<uint32_t> candidateBoxDistance_;  // per pool entry: squared distance to the box
};

// One-off query by a plain scan (use TNearestColorIndex for many pixels).
int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);
