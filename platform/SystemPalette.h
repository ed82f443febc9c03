#pragma once
// The platform's fixed palettes and its nearest-palette-index query.
#include <algorithm>
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
// tie. Answers are exact. The colour cube is cut into cells of 16 x 16 x 16 colours; the first
// time a cell is asked for, the entries that can be nearest to one of its colours are listed
// (usually two to six), and a query ranks only those, side by side.
class TNearestColorIndex {
public:
    explicit TNearestColorIndex(const TPalette& palette);
    ~TNearestColorIndex();
    // The entry nearest to (r, g, b), or -1 for an empty palette.
    int Find(uint8_t r, uint8_t g, uint8_t b) {
        const int32_t cell = cells_[CellOf(r, g, b)];
        if (cell >= 0) {
            if (cell & kTwoBlocks) return RankTwoBlocks(&lanes_[cell & ~kTwoBlocks], r, g, b);
            return RankLanes(lanes_[cell], r, g, b) & 0xFF;
        }
        return FindSlow(r, g, b);
    }
    // Find for `count` pixels of blue-green-red bytes, the answers stored as bytes.
    void FindRow(const uint8_t* bgr, int count, uint8_t* indices);
    int Count() const { return static_cast<int>(palette_.size()); }

private:
    static constexpr int kCellShift = 4;
    static constexpr int kCellSpan = 1 << kCellShift;
    static constexpr int kPositions = 256 >> kCellShift;  // cells per axis
    static constexpr int kLaneCount = 8;
    // cells_ values: a lanes_ index (with kTwoBlocks when the cell has two blocks of lanes, for
    // up to sixteen candidates), kUnbuilt, or kPoolBase - (index into poolRanges_).
    static constexpr int32_t kTwoBlocks = 1 << 30;
    static constexpr int32_t kUnbuilt = -1;
    static constexpr int32_t kPoolBase = -2;

    using Lane = int32_t __attribute__((vector_size(4 * kLaneCount)));
    // Eight candidates of a cell (shorter lists padded by repeating their last entry). Aligned
    // for the widest vector unit the row lookup may be built for.
    struct alignas(32) CandidateLanes {
        Lane red, green, blue, index;
    };
    // A longer list, in the pool, ordered by distance to the cell.
    struct PoolRange {
        int32_t offset = 0;
        int32_t count = 0;
    };

    static int CellOf(uint8_t r, uint8_t g, uint8_t b) {
        return ((r >> kCellShift) << (2 * (8 - kCellShift))) |
               ((g >> kCellShift) << (8 - kCellShift)) | (b >> kCellShift);
    }
    // Candidates are ranked by (distance << 8 | index): the smallest key is the nearest entry,
    // the lowest index on a tie.
    // The smallest key of a block of lanes.
    static int32_t RankLanes(const CandidateLanes& c, int r, int g, int b) {
        // __builtin_shufflevector: the lane shuffle both GCC (12 on) and clang know.
        const Lane dr = c.red - r, dg = c.green - g, db = c.blue - b;
        Lane key = ((dr * dr + dg * dg + db * db) << 8) | c.index;
        Lane other = __builtin_shufflevector(key, key, 4, 5, 6, 7, 0, 1, 2, 3);
        key = key < other ? key : other;
        other = __builtin_shufflevector(key, key, 2, 3, 0, 1, 6, 7, 4, 5);
        key = key < other ? key : other;
        other = __builtin_shufflevector(key, key, 1, 0, 3, 2, 5, 4, 7, 6);
        key = key < other ? key : other;
        return key[0];
    }
    static int RankTwoBlocks(const CandidateLanes* c, int r, int g, int b) {
        return std::min(RankLanes(c[0], r, g, b), RankLanes(c[1], r, g, b)) & 0xFF;
    }
    int FindSlow(uint8_t r, uint8_t g, uint8_t b);
    int32_t BuildCell(int cell);
    void BuildAxisTables();
    bool Beats(int f, int e, int rLo, int gLo, int bLo) const;
    int DropBeaten(uint64_t* order, int count, int rLo, int gLo, int bLo) const;

    TPalette palette_;
    // Squared distances along one axis from each entry to the nearest and the farthest value of
    // each cell position: [axis][position][entry].
    std::vector<uint16_t> nearSq_;
    std::vector<uint16_t> farSq_;
    std::vector<int32_t> cells_;
    std::vector<CandidateLanes> lanes_;
    std::vector<PoolRange> poolRanges_;
    std::vector<uint8_t> pool_;
    std::vector<uint32_t> poolBoxDistance_;  // per pool entry: squared distance to the cell
};

// One-off query by a plain scan (use TNearestColorIndex for many pixels).
int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);
