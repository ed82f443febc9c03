// Box-cut palettes: the sums of a box found from the cumulative tables and from the list of
// filled cells must lead to the same cuts, and so to the same palette, whatever the histogram.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gif/colour/WuQuantizer.h"

namespace {

using TSums = TWuQuantizer::TSums;

// `colors` random colours, each with a random number of pixels, within [low, high] a channel.
void AddScattered(TColorHistogram& histogram, std::mt19937& random, int colors, int low, int high) {
    std::uniform_int_distribution<int> channel(low, high);
    std::uniform_int_distribution<uint32_t> weight(1, 400);
    for (int i = 0; i < colors; ++i)
        histogram.Add(channel(random), channel(random), channel(random), weight(random));
}

// A noisy gradient over most of the cube: thousands of filled cells.
void AddGradient(TColorHistogram& histogram, std::mt19937& random) {
    std::normal_distribution<double> noise(0.0, 6.0);
    const auto level = [&](double v) {
        const int value = static_cast<int>(v + noise(random));
        return value < 0 ? 0 : value > 255 ? 255 : value;
    };
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            histogram.Add(level(1.5 * x), level(2.0 * y), level(255 - 0.8 * (x + y)), 1);
}

void ExpectSamePalettes(const TColorHistogram& histogram, const std::string& what) {
    TWuQuantizer tables, lists, automatic;
    for (int colors : {1, 2, 16, 192, 256}) {
        const std::vector<TGIFColor> fromTables =
            tables.Quantize(histogram, colors, TSums::kTables);
        const std::vector<TGIFColor> fromLists =
            lists.Quantize(histogram, colors, TSums::kCellLists);
        EXPECT_FALSE(fromTables.empty()) << what;
        EXPECT_LE(fromTables.size(), static_cast<size_t>(colors)) << what;
        EXPECT_EQ(fromTables, fromLists) << what << ", " << colors << " colours";
        EXPECT_EQ(fromTables, automatic.Quantize(histogram, colors)) << what;
    }
}

TEST(WuQuantizer, CellListsCutAsTheTablesDo) {
    std::mt19937 random(11);
    {
        TColorHistogram histogram;
        AddScattered(histogram, random, 300, 0, 255);
        ExpectSamePalettes(histogram, "a few hundred colours over the cube");
    }
    {
        TColorHistogram histogram;
        AddScattered(histogram, random, 60, 90, 130);
        ExpectSamePalettes(histogram, "colours in a small corner of the cube");
    }
    {
        TColorHistogram histogram;
        AddScattered(histogram, random, 5, 0, 255);
        ExpectSamePalettes(histogram, "fewer colours than some palettes want");
    }
    {
        TColorHistogram histogram;
        AddGradient(histogram, random);
        ExpectSamePalettes(histogram, "a noisy gradient");
    }
    {
        // The same quantizers again after a larger histogram: nothing of it is left over.
        TColorHistogram histogram;
        histogram.Add(10, 200, 30, 7);
        histogram.Add(250, 5, 128, 3);
        ExpectSamePalettes(histogram, "two colours");
    }
}

}  // namespace
