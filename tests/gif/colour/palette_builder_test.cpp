// Fitted palettes: colours many pixels have exactly keep entries of exactly that colour, also
// when another such colour lies a few levels away.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gif/colour/PaletteBuilder.h"

namespace {

bool Holds(const std::vector<TGIFColor>& palette, TGIFColor color) {
    return std::find(palette.begin(), palette.end(), color) != palette.end();
}

// A title bar and the row at its lower edge, three and four levels apart (one histogram cell),
// above a smooth ramp that wants more entries than the palette has.
TEST(PaletteBuilder, FrequentColoursAFewLevelsApartEachKeepAnExactEntry) {
    const TGIFColor bar{41, 110, 212}, edge{41, 107, 208};
    constexpr int kWidth = 160, kHeight = 120;
    TPaletteBuilder builder;
    builder.SetSampleStep(1);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (y < 16)
                builder.Add(bar.Red, bar.Green, bar.Blue);
            else if (y == 16)
                builder.Add(edge.Red, edge.Green, edge.Blue);
            else
                builder.Add((x + y) / 2, 2 * y, 255 - x);
        }
    const std::vector<TGIFColor> palette = builder.Build(255, 6);
    ASSERT_LE(palette.size(), 255u);
    EXPECT_TRUE(Holds(palette, bar));
    EXPECT_TRUE(Holds(palette, edge));
}

}  // namespace
