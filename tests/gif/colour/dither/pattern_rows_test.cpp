// Rows of pixels looked up and dithered at once give what the same pixels give one at a time:
// the cells' entries, the nearest entries and the pattern's choices, for every palette size,
// every column the tile can start at, rows of any length, and only the pixels asked for.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/colour/NearestColor.h"
#include "gif/colour/dither/PatternDither.h"

namespace {

constexpr int kLevels6 = ColorDistance(6, 6, 6);
constexpr int kLevels24 = ColorDistance(24, 24, 24);

std::vector<TGIFColor> RandomPalette(int count, std::mt19937& random) {
    std::uniform_int_distribution<int> level(0, 255);
    std::vector<TGIFColor> palette(static_cast<size_t>(count));
    for (TGIFColor& c : palette)
        c = {static_cast<uint8_t>(level(random)), static_cast<uint8_t>(level(random)),
             static_cast<uint8_t>(level(random))};
    return palette;
}

// A grey ramp with colour noise: colours between close entries, where the pattern dithers.
std::vector<uint8_t> RampRow(int width, std::mt19937& random) {
    std::uniform_int_distribution<int> noise(-12, 12);
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * 3);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c)
            bgr[static_cast<size_t>(3 * x + c)] =
                static_cast<uint8_t>(std::clamp(x * 255 / width + noise(random), 0, 255));
    return bgr;
}

std::vector<uint8_t> RandomBytes(int count, int most, std::mt19937& random) {
    std::uniform_int_distribution<int> value(0, most);
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(value(random));
    return bytes;
}

// A palette of greys a few levels apart, and random colours besides.
std::vector<TGIFColor> GreysAndColours(int greys, int colours, std::mt19937& random) {
    std::vector<TGIFColor> palette = RandomPalette(colours, random);
    for (int i = 0; i < greys; ++i) {
        const auto level = static_cast<uint8_t>(i * 255 / std::max(1, greys - 1));
        palette.push_back({level, level, level});
    }
    return palette;
}

}  // namespace

TEST(PatternRows, CellEntriesOfARowAreThoseOfEachPixel) {
    std::mt19937 random(7);
    TNearestColor row, single;
    for (const int colours : {1, 2, 3, 17, 256}) {
        SCOPED_TRACE(colours);
        const std::vector<TGIFColor> palette = RandomPalette(colours, random);
        // Each palette twice: the second time the cells filled for the first are stale.
        for (int pass = 0; pass < 2; ++pass) {
            row.SetPalette(palette);
            single.SetPalette(palette);
            for (const int width : {7, 8, 61, 640}) {
                const std::vector<uint8_t> bgr = RandomBytes(3 * width, 255, random);
                const std::vector<uint8_t> moved = RandomBytes(width, 1, random);
                for (const uint8_t* mask : {static_cast<const uint8_t*>(nullptr), moved.data()}) {
                    std::vector<uint32_t> entries(static_cast<size_t>(width), 0xDEADBEEF);
                    row.CellEntriesRow(bgr.data(), width, mask, entries.data());
                    for (int x = 0; x < width; ++x) {
                        if (mask && !mask[x]) continue;
                        const uint8_t* p = bgr.data() + 3 * x;
                        ASSERT_EQ(entries[static_cast<size_t>(x)],
                                  single.CellEntries(p[2], p[1], p[0]))
                            << "width " << width << " x " << x;
                    }
                }
            }
        }
    }
}

TEST(PatternRows, MappedRowIsMapOfEachPixelAndLeavesTheOthers) {
    std::mt19937 random(11);
    TNearestColor lookup;
    const TPatternDither dither(kLevels6, kLevels24);
    const TPatternDither off(0, 0);
    int dithered = 0;
    for (const auto& [greys, colours] : {std::pair{1, 0}, {2, 1}, {40, 10}, {200, 55}}) {
        SCOPED_TRACE(greys + colours);
        lookup.SetPalette(GreysAndColours(greys, colours, random));
        for (const int width : {5, 16, 83, 320}) {
            const std::vector<uint8_t> bgr =
                width == 83 ? RandomBytes(3 * width, 255, random) : RampRow(width, random);
            const std::vector<uint8_t> contrast = RandomBytes(width, 12, random);
            const std::vector<uint8_t> moved = RandomBytes(width, 1, random);
            std::vector<uint32_t> entries(static_cast<size_t>(width));
            lookup.CellEntriesRow(bgr.data(), width, nullptr, entries.data());
            for (const int x : {0, 3, 60}) {
                for (const uint8_t* mask : {static_cast<const uint8_t*>(nullptr), moved.data()}) {
                    for (const TPatternDither* pattern : {&dither, &off}) {
                        TPatternDither::TRow row;
                        row.Pixels = bgr.data();
                        row.Entries = entries.data();
                        row.Contrast = contrast.data();
                        row.Moved = mask;
                        row.Count = width;
                        row.X = x;
                        row.Y = x + width;
                        std::vector<uint8_t> out(static_cast<size_t>(width), 0xEE);
                        pattern->MapRow(lookup, row, 6, out.data());
                        for (int i = 0; i < width; ++i) {
                            const uint8_t got = out[static_cast<size_t>(i)];
                            if (mask && !mask[i]) {
                                ASSERT_EQ(got, 0xEE) << i;
                                continue;
                            }
                            const uint8_t* p = bgr.data() + 3 * i;
                            const int r = p[2], g = p[1], b = p[0];
                            const uint32_t cell = entries[static_cast<size_t>(i)];
                            const int nearest = lookup.Nearest(cell, r, g, b);
                            const int expected =
                                contrast[static_cast<size_t>(i)] <= 6
                                    ? pattern->Map(lookup, cell, x + i, row.Y, r, g, b)
                                    : nearest;
                            ASSERT_EQ(got, expected) << "width " << width << " column " << i;
                            dithered += got != nearest;
                        }
                    }
                }
            }
        }
    }
    // The ramps fall between close greys: the pattern's other entry was taken somewhere.
    EXPECT_GT(dithered, 100);
}
