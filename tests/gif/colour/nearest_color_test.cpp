// The nearest-colour lookup's fine cells: whichever colour of a cell asks first (cells are
// filled together with their neighbours), a cell lists the palette's entry nearest to its centre
// first and its other entries no nearer, and a lookup lands within the cell's reach of the nearest.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/colour/NearestColor.h"

namespace {

uint32_t Key(const TGIFColor& c, int index, int r, int g, int b) {
    return static_cast<uint32_t>(ColorDistance(c, r, g, b)) << 8 | static_cast<uint32_t>(index);
}

}  // namespace

TEST(NearestColor, FineCellsListTheEntryNearestToTheirCentreFirst) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> level(0, 255);
    for (const int count : {1, 2, 3, 5, 40, 256}) {
        SCOPED_TRACE(count);
        std::vector<TGIFColor> palette(static_cast<size_t>(count));
        for (TGIFColor& c : palette)
            c = {static_cast<uint8_t>(level(random)), static_cast<uint8_t>(level(random)),
                 static_cast<uint8_t>(level(random))};
        TNearestColor lookup;
        lookup.SetPalette(palette);
        for (int i = 0; i < 3000; ++i) {
            const int r = level(random), g = level(random), b = level(random);
            const uint32_t entries = lookup.CellEntries(r, g, b);
            const int cr = (r & ~3) + 2, cg = (g & ~3) + 2, cb = (b & ~3) + 2;
            uint32_t best = UINT32_MAX;
            for (int e = 0; e < count; ++e)
                best = std::min(best, Key(palette[static_cast<size_t>(e)], e, cr, cg, cb));
            ASSERT_EQ(TNearestColor::Entry(entries, 0), static_cast<int>(best & 0xFF))
                << r << "," << g << "," << b;
            for (int k = 1; k < TNearestColor::kCellEntries; ++k) {
                const int before = TNearestColor::Entry(entries, k - 1);
                const int entry = TNearestColor::Entry(entries, k);
                ASSERT_LT(entry, count);
                EXPECT_LE(Key(palette[static_cast<size_t>(before)], before, cr, cg, cb),
                          Key(palette[static_cast<size_t>(entry)], entry, cr, cg, cb));
            }
            // The lookup's answer is no farther than the nearest entry plus twice the way from
            // the colour to its cell's centre (at most 2 levels a channel).
            int nearest = INT_MAX;
            for (const TGIFColor& c : palette)
                nearest = std::min(nearest, ColorDistance(c, r, g, b));
            const TGIFColor& found = palette[static_cast<size_t>(lookup.Find(r, g, b))];
            EXPECT_LE(std::sqrt(ColorDistance(found, r, g, b)),
                      std::sqrt(nearest) + 2 * std::sqrt(ColorDistance(2, 2, 2)) + 1e-9)
                << r << "," << g << "," << b;
        }
    }
}
