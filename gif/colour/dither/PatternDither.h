#pragma once
// Dithering that stays still from frame to frame. A colour that falls between two palette
// entries gets one or the other by a threshold that depends only on the pixel's place (a fixed
// pattern of noise without low frequencies), in proportion to how close it lies to each. The
// same colour at the same place always gives the same entry, so an area that does not change
// keeps its pixels however many frames follow; error diffusion would move them all.
//
// Only colours between entries that are neither very close (no visible band) nor very far
// apart (an edge, not a gradient) are dithered; every other colour gets its nearest entry.
#include <cstdint>

#include "gif/colour/NearestColor.h"

class TPatternDither {
public:
    // Entries less than minGap apart (weighted distance) are not dithered between, nor those
    // more than maxGap apart; minGap 0 turns dithering off.
    TPatternDither(int minGap, int maxGap) : minGap_(minGap), maxGap_(maxGap) {}

    bool Enabled() const { return minGap_ > 0; }
    // The threshold of a place, 0 to 255, from a 64 x 64 tile.
    static int Threshold(int x, int y);

    // The entry for the colour at (x, y), whose cell's entries (TNearestColor::CellEntries)
    // are `entries`.
    int Map(const TNearestColor& nearest, uint32_t entries, int x, int y, int r, int g,
            int b) const;

    // A row of pixels to map: Count pixels of blue, green, red bytes from (X, Y) on, their cell
    // entries (TNearestColor::CellEntriesRow), their contrast (see LocalContrast.h; null: none
    // is dithered) and, when not null, which of them to map: those whose byte in Moved is not
    // zero.
    struct TRow {
        const uint8_t* Pixels = nullptr;
        const uint32_t* Entries = nullptr;
        const uint8_t* Contrast = nullptr;
        const uint8_t* Moved = nullptr;
        int Count = 0;
        int X = 0;
        int Y = 0;
    };
    // Into `out`, for each pixel of the row to map: Map where its contrast is at most
    // maxContrast, else its nearest entry. The bytes of the pixels not to map stay. Eight pixels
    // at a time where the processor can, with the same results.
    void MapRow(const TNearestColor& nearest, const TRow& row, int maxContrast, uint8_t* out) const;

private:
    // MapRow as far as whole groups of eight pixels go; returns how far.
    int MapRowWide(const TNearestColor& nearest, const TRow& row, int maxContrast,
                   uint8_t* out) const;

    int minGap_;
    int maxGap_;
};
