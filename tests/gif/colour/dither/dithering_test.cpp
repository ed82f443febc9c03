// Dithering engines: serpentine order, kernels, rounding, clamping and lost margins.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gif/colour/ColorLookup.h"
#include "gif/colour/ColorReduction.h"
#include "gif/colour/dither/DitherEngine.h"
#include "gif/colour/dither/ErrorDiffusion.h"
#include "tests/gif/ReductionPictures.h"

using pictures::IndexAt;
using pictures::Rgb;

namespace {

const TErrorDiffusion kDiffusingModes[] = {edFloydSteinberg, edStucki,     edSierra,
                                           edJaJuNi,         edSteveArche, edBurkes};

struct Share {
    int row;     // 0 = current row
    int column;  // in scan direction: positive ahead, negative behind
    int weight;
};

struct Kernel {
    int divisor;
    std::vector<Share> shares;
};

std::vector<Share> FiveColumns(int row, std::initializer_list<int> weights) {
    std::vector<Share> shares;
    int column = -2;
    for (int w : weights) shares.push_back({row, column++, w});
    return shares;
}

Kernel KernelOf(TErrorDiffusion mode) {
    auto join = [](std::vector<Share> a, const std::vector<Share>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    switch (mode) {
        case edFloydSteinberg:
            return {16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}};
        case edStucki:
            return {42, join(join({{0, 1, 8}, {0, 2, 4}}, FiveColumns(1, {2, 4, 8, 4, 2})),
                             FiveColumns(2, {1, 2, 4, 2, 1}))};
        case edSierra:
            return {32, join(join({{0, 1, 5}, {0, 2, 3}}, FiveColumns(1, {2, 4, 5, 4, 2})),
                             FiveColumns(2, {0, 2, 3, 2, 0}))};
        case edJaJuNi:
            return {48, join(join({{0, 1, 7}, {0, 2, 5}}, FiveColumns(1, {3, 5, 7, 5, 3})),
                             FiveColumns(2, {1, 3, 5, 3, 1}))};
        case edSteveArche:
            return {200,
                    {{0, 2, 32},
                     {1, -3, 12},
                     {1, -1, 26},
                     {1, 1, 30},
                     {1, 3, 16},
                     {2, -2, 12},
                     {2, 0, 26},
                     {2, 2, 12},
                     {3, -3, 5},
                     {3, -1, 12},
                     {3, 1, 12},
                     {3, 3, 5}}};
        case edBurkes:
            return {32, join({{0, 1, 8}, {0, 2, 4}}, FiveColumns(1, {2, 4, 8, 4, 2}))};
        default:
            return {1, {}};
    }
}

// Straightforward error diffusion over whole-picture error arrays, for comparison with the
// engines' rolling rows: serpentine, shares outside the picture dropped.
std::vector<int> ReferenceDither(TBitmap& picture, TErrorDiffusion mode, TColorLookup& lookup) {
    const Kernel kernel = KernelOf(mode);
    const int width = picture.Width(), height = picture.Height();
    std::vector<int> error(static_cast<size_t>(width) * height * 3, 0);
    std::vector<int> indices(static_cast<size_t>(width) * height, -1);
    for (int y = 0; y < height; ++y) {
        const int direction = y % 2 == 0 ? 1 : -1;
        for (int step = 0; step < width; ++step) {
            const int x = direction > 0 ? step : width - 1 - step;
            const uint8_t* bgr = picture.ScanLine(y) + 3 * x;
            const int channel[3] = {bgr[2], bgr[1], bgr[0]};
            int adjusted[3];
            for (int c = 0; c < 3; ++c) {
                const int accumulated = error[(static_cast<size_t>(y) * width + x) * 3 + c];
                adjusted[c] = std::clamp(
                    channel[c] + (accumulated + kernel.divisor / 2) / kernel.divisor, 0, 255);
            }
            const TColorMatch match = lookup.FindIndex(adjusted[0], adjusted[1], adjusted[2]);
            indices[static_cast<size_t>(y) * width + x] = match.index;
            const int chosen[3] = {match.red, match.green, match.blue};
            for (const Share& share : kernel.shares) {
                const int yy = y + share.row, xx = x + share.column * direction;
                if (yy >= height || xx < 0 || xx >= width) continue;
                for (int c = 0; c < 3; ++c)
                    error[(static_cast<size_t>(yy) * width + xx) * 3 + c] +=
                        (adjusted[c] - chosen[c]) * share.weight;
            }
        }
    }
    return indices;
}

TPalette SixteenColours() {
    TPalette palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back(Rgb((i * 83) % 256, (i * 149) % 256, (i * 37) % 256));
    return palette;
}

std::vector<int> Indices(TBitmap& reduced) {
    std::vector<int> indices;
    for (int y = 0; y < reduced.Height(); ++y)
        for (int x = 0; x < reduced.Width(); ++x) indices.push_back(IndexAt(reduced, x, y));
    return indices;
}

}  // namespace

TEST(DitherEngine, NearestLooksUpEveryPixelOnItsOwn) {
    TBitmap picture = pictures::Noise(13, 7, 3);
    const TPalette palette = SixteenColours();
    auto reduced = ReduceBitmapColors(picture, prCallerPalette, edNearest, 8, &palette);
    TSlowColorLookup lookup(palette);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) {
            const TPaletteEntry c = pictures::At(picture, x, y);
            ASSERT_EQ(IndexAt(*reduced, x, y),
                      lookup.FindIndex(c.peRed, c.peGreen, c.peBlue).index);
        }

    // The fast lookup answers a cell with the entry found for the first colour asked there, so
    // with colours crowded into few cells the serpentine order shows in the result.
    TBitmap dark = pictures::Noise(13, 7, 8);
    for (int y = 0; y < 7; ++y)
        for (int i = 0; i < 3 * 13; ++i) dark.ScanLine(y)[i] %= 24;
    auto octree = ReduceBitmapColors(dark, prOctree, edNearest, 3, nullptr);
    const TPalette eight(octree->Palette().begin(), octree->Palette().begin() + 8);
    auto walk = [&](bool serpentine) {
        TFastColorLookup fast(eight);
        std::vector<int> indices(13 * 7);
        for (int y = 0; y < 7; ++y)
            for (int step = 0; step < 13; ++step) {
                const int x = serpentine && y % 2 == 1 ? 12 - step : step;
                const TPaletteEntry c = pictures::At(dark, x, y);
                indices[y * 13 + x] = fast.FindIndex(c.peRed, c.peGreen, c.peBlue).index;
            }
        return indices;
    };
    ASSERT_NE(walk(true), walk(false));
    EXPECT_EQ(Indices(*octree), walk(true));
}

TEST(ErrorDiffusion, FloydSteinbergSmallPictureByHand) {
    // Web cube lookup; the second row runs right to left (a left-to-right run differs at
    // columns 0 and 1 of row 1 and column 1 of row 2).
    const TPaletteEntry pixels[3][4] = {
        {Rgb(165, 77, 202), Rgb(24, 37, 48), Rgb(187, 29, 109), Rgb(19, 44, 222)},
        {Rgb(214, 35, 123), Rgb(46, 217, 30), Rgb(63, 114, 31), Rgb(203, 25, 113)},
        {Rgb(23, 68, 148), Rgb(214, 73, 60), Rgb(157, 92, 52), Rgb(96, 190, 49)}};
    TBitmap picture(4, 3, pf24bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const TPaletteEntry& c = pixels[y][x];
            picture.SetPixel(x, y, RGBColor(c.peRed, c.peGreen, c.peBlue));
        }
    TBitmap copy = picture;
    auto floyd = ReduceBitmapColors(picture, prWebCube216, edFloydSteinberg, 8, nullptr);
    EXPECT_EQ(Indices(*floyd),
              (std::vector<int>{118, 7, 110, 10, 152, 61, 48, 146, 9, 151, 121, 97}));
    auto stucki = ReduceBitmapColors(copy, prWebCube216, edStucki, 8, nullptr);
    EXPECT_EQ(Indices(*stucki),
              (std::vector<int>{118, 1, 110, 10, 152, 60, 48, 146, 9, 151, 121, 97}));
}

TEST(ErrorDiffusion, EveryEngineMatchesTheWholePictureReference) {
    const TPalette sixteen = SixteenColours();
    const int sizes[][2] = {{1, 9}, {2, 5}, {3, 4}, {7, 1}, {33, 6}};
    for (TErrorDiffusion mode : kDiffusingModes)
        for (const auto& size : sizes) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << int(mode) << " size " << size[0] << "x" << size[1]);
            TBitmap picture = pictures::Noise(size[0], size[1], 100 + size[0]);

            TNetscapeColorLookup cube;
            auto reduced = ReduceBitmapColors(picture, prWebCube216, mode, 8, nullptr);
            EXPECT_EQ(Indices(*reduced), ReferenceDither(picture, mode, cube));

            TMonochromeLookup mono;
            reduced = ReduceBitmapColors(picture, prBlackWhite, mode, 8, nullptr);
            EXPECT_EQ(Indices(*reduced), ReferenceDither(picture, mode, mono));

            TSlowColorLookup slow(sixteen);
            reduced = ReduceBitmapColors(picture, prCallerPalette, mode, 8, &sixteen);
            EXPECT_EQ(Indices(*reduced), ReferenceDither(picture, mode, slow));
        }
}

TEST(ErrorDiffusion, UniformPictureInThePaletteGivesOneIndexEverywhere) {
    for (TErrorDiffusion mode : kDiffusingModes) {
        SCOPED_TRACE(int(mode));
        TBitmap picture = pictures::Uniform(9, 6, Rgb(51, 102, 153));
        auto reduced = ReduceBitmapColors(picture, prWebCube216, mode, 8, nullptr);
        for (int index : Indices(*reduced)) ASSERT_EQ(index, 36 * 1 + 6 * 2 + 3);
        picture = pictures::Uniform(9, 6, Rgb(30, 60, 90));
        reduced = ReduceBitmapColors(picture, prOctreePlusSystem, mode, 8, nullptr);
        for (int index : Indices(*reduced)) ASSERT_EQ(index, 10);
    }
}

TEST(ErrorDiffusion, AdjustedValuesStayInRangeUnderLargeErrors) {
    // White with only black and mid-grey: every pixel pushes +127 onwards, so corrected
    // values far above 255 must clamp (a value that wrapped around would pick black).
    const TPalette darkOnly = {Rgb(0, 0, 0), Rgb(128, 128, 128)};
    const TPalette lightOnly = {Rgb(255, 255, 255), Rgb(128, 128, 128)};
    for (TErrorDiffusion mode : kDiffusingModes) {
        SCOPED_TRACE(int(mode));
        TBitmap white = pictures::Uniform(17, 9, Rgb(255, 255, 255));
        auto reduced = ReduceBitmapColors(white, prCallerPalette, mode, 8, &darkOnly);
        for (int index : Indices(*reduced)) ASSERT_EQ(index, 1);
        TBitmap black = pictures::Uniform(17, 9, Rgb(0, 0, 0));
        reduced = ReduceBitmapColors(black, prCallerPalette, mode, 8, &lightOnly);
        for (int index : Indices(*reduced)) ASSERT_EQ(index, 1);
    }
}

TEST(ErrorDiffusion, SingleColumnKeepsOnlyTheSharesBelow) {
    // Grey 100 in black and white: only 5/16 of each error reaches the pixel below.
    // Errors: +100 -> 131 white (-124) -> 62 black (62) -> 119 black (119) -> 137 white.
    TBitmap column = pictures::Uniform(1, 5, Rgb(100, 100, 100));
    auto reduced = ReduceBitmapColors(column, prBlackWhite, edFloydSteinberg, 8, nullptr);
    EXPECT_EQ(Indices(*reduced), (std::vector<int>{0, 1, 0, 0, 1}));
}
