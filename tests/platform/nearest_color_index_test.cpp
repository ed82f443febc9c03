// The nearest-colour index against a plain scan, with the vector unit and without: crowded
// palettes (cells split into small cells, small cells of two blocks, long lists), sparse ones
// (distances too large for 16-bit lanes), ties and repeated entries.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/NearestColorIndex.h"
#include "platform/SystemPalette.h"

namespace {

using TInstructions = TNearestColorIndex::TInstructions;

TPaletteEntry Rgb(int r, int g, int b) {
    TPaletteEntry e;
    e.peRed = static_cast<uint8_t>(r);
    e.peGreen = static_cast<uint8_t>(g);
    e.peBlue = static_cast<uint8_t>(b);
    return e;
}

// The entry at the least squared distance, the lowest index on a tie.
int PlainNearest(const TPalette& palette, int r, int g, int b) {
    int best = -1, bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size() && i < 256; ++i) {
        const int dr = palette[i].peRed - r, dg = palette[i].peGreen - g,
                  db = palette[i].peBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) bestDistance = d, best = static_cast<int>(i);
    }
    return best;
}

// Blue-green-red pixels: every colour of a box (by a step), then random colours.
std::vector<uint8_t> Pixels(int lo, int hi, int step, int randomCount, uint32_t seed) {
    std::vector<uint8_t> bgr;
    for (int r = lo; r <= hi; r += step)
        for (int g = lo; g <= hi; g += step)
            for (int b = lo; b <= hi; b += step)
                bgr.insert(bgr.end(), {uint8_t(b), uint8_t(g), uint8_t(r)});
    std::mt19937 rng(seed);
    for (int i = 0; i < randomCount; ++i)
        bgr.insert(bgr.end(), {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    return bgr;
}

// Every pixel through FindRow (in rows of uneven lengths, the last one ending the buffer) and
// through Find, with both instruction choices.
void ExpectPlainAnswers(const TPalette& palette, const std::vector<uint8_t>& bgr,
                        const char* name) {
    const int count = static_cast<int>(bgr.size() / 3);
    std::vector<int> expected(count);
    for (int i = 0; i < count; ++i)
        expected[i] = PlainNearest(palette, bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]);
    for (TInstructions instructions : {TInstructions::Best, TInstructions::Portable}) {
        TNearestColorIndex index(palette, instructions);
        std::vector<uint8_t> rowAnswers(count);
        for (int start = 0, length = 1; start < count; start += length, length = length * 3 % 997)
            index.FindRow(bgr.data() + 3 * start, std::min(length, count - start),
                          rowAnswers.data() + start);
        TNearestColorIndex fresh(palette, instructions);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(rowAnswers[i], expected[i]) << name << " pixel " << i;
            ASSERT_EQ(fresh.Find(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]), expected[i])
                << name << " pixel " << i;
        }
    }
}

}  // namespace

TEST(NearestColorIndexLanes, CrowdedPalettesSplitCellsAndStillAgree) {
    std::mt19937 rng(21);
    for (int spread : {6, 12, 24, 48}) {
        TPalette palette;
        std::normal_distribution<double> offset(0.0, spread / 3.0);
        auto around = [&](int c) { return std::clamp(static_cast<int>(c + offset(rng)), 0, 255); };
        while (palette.size() < 256) {
            if (palette.size() % 23 == 22) {
                palette.push_back(palette[palette.size() / 2]);  // a repeated entry
                continue;
            }
            palette.push_back(Rgb(around(100), around(140), around(60)));
        }
        ExpectPlainAnswers(palette, Pixels(100 - 2 * spread, 100 + 2 * spread, 3, 3000, spread),
                           "crowded");
    }
}

TEST(NearestColorIndexLanes, SparseAndSmallPalettesUseListsAndAgree) {
    const std::vector<TPalette> palettes = {
        {Rgb(0, 0, 0), Rgb(255, 255, 255)},
        {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(255, 0, 0)},
        {Rgb(128, 128, 128)},
        SystemPalette20(),
        HalftonePalette(),
    };
    for (const TPalette& palette : palettes)
        ExpectPlainAnswers(palette, Pixels(0, 255, 15, 20000, 5), "sparse");
}

TEST(NearestColorIndexLanes, CoarseLevelsMakeTiesThatTheLowestIndexWins) {
    std::mt19937 rng(8);
    TPalette palette(200);
    for (auto& e : palette)
        e = Rgb((rng() % 5) * 64, (rng() % 5) * 64, (rng() % 5) * 64);  // many equal entries
    ExpectPlainAnswers(palette, Pixels(0, 255, 8, 5000, 9), "ties");
}
