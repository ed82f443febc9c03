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
// three entries), so a query does not scan the palette.
class TNearestColorIndex {
public:
    explicit TNearestColorIndex(const TPalette& palette);
    ~TNearestColorIndex();
    int Find(uint8_t r, uint8_t g, uint8_t b);
    int Count() const { return static_cast<int>(palette_.size()); }

private:
    // The palette entries that can be nearest to some colour of a cell, ordered by their
    // distance to the cell's box. Coarse cells (16 x 16 x 16 colours) are computed from the whole
    // palette, fine cells (8 x 8 x 8) from their coarse cell's list; both when first asked for.
    struct CellRange {
        int32_t offset = -1;
        int32_t count = 0;
    };
    // A fine cell keeps up to three candidates in place (the common case; short lists are
    // padded with their first entry), else a range of the pool.
    struct FineCellEntry {
        int32_t offset = -1;
        int32_t poolCount = 0;
        uint8_t inPlaceCount = 0;
        uint8_t inPlace[3] = {0, 0, 0};
    };
    struct CellBox {
        int rLo, gLo, bLo, span;
    };
    const CellRange& CoarseCell(int cell);
    const FineCellEntry& FineCell(int cell);
    CellRange BuildCell(const CellBox& box, const uint8_t* entries, int entryCount);

    TPalette palette_;
    std::vector<CellRange> coarseCells_;
    std::vector<FineCellEntry> fineCells_;
    std::vector<uint8_t> candidatePool_;
    std::vector<uint16_t> candidateBoxDistance_;  // per pool entry: squared distance to the box
};

// One-off query by a plain scan (use TNearestColorIndex for many pixels).
int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);
