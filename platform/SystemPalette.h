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
// tie. Answers are exact; colours are searched among per-cell candidate lists and cached, so a
// query does not scan the palette.
class TNearestColorIndex {
public:
    explicit TNearestColorIndex(const TPalette& palette);
    ~TNearestColorIndex();
    int Find(uint8_t r, uint8_t g, uint8_t b);
    int Count() const { return static_cast<int>(palette_.size()); }

private:
    // The palette entries that can be nearest to some colour of a cell (16 x 16 x 16 colours),
    // ordered by their distance to the cell's box; computed when a cell is first asked for.
    struct CellRange {
        int32_t offset = -1;
        int32_t count = 0;
    };
    const CellRange& Candidates(int cell);
    int Search(uint8_t r, uint8_t g, uint8_t b);

    TPalette palette_;
    std::vector<CellRange> cells_;
    std::vector<uint8_t> candidatePool_;
    std::vector<uint16_t> candidateBoxDistance_;  // per pool entry: squared distance to the box
    std::vector<uint64_t> exactCache_;            // colour + 1 in bits 8..32, index in bits 0..7
};

// One-off query by a plain scan (use TNearestColorIndex for many pixels).
int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);
