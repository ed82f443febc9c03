#pragma once
// The platform's fixed palettes and its nearest-palette-index query.
#include <cstdint>
#include <memory>
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
    struct Cell;
    const std::vector<uint8_t>& Candidates(int cell);

    TPalette palette_;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> cells_;
    std::vector<uint32_t> exactCache_;  // (colour << 8 | index), or ~0u when empty
};

// One-off query (builds a temporary index; use TNearestColorIndex for many pixels).
int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);
