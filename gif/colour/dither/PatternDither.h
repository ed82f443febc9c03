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

private:
    int minGap_;
    int maxGap_;
};
