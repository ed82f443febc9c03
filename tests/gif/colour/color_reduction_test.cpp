// Colour reduction: palettes of every mode, the lookups, the octree and the row writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

#include "gif/colour/ColorLookup.h"
#include "gif/colour/ColorReduction.h"
#include "gif/colour/DIBAccess.h"
#include "gif/colour/OctreeQuantizer.h"
#include "gif/core/GIFException.h"
#include "platform/SystemPalette.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/ReductionPictures.h"

using pictures::At;
using pictures::IndexAt;
using pictures::Rgb;

namespace {

TBitmap Row(std::initializer_list<TPaletteEntry> colors) {
    TBitmap bitmap(static_cast<int>(colors.size()), 1, pf24bit);
    int x = 0;
    for (const TPaletteEntry& c : colors)
        bitmap.SetPixel(x++, 0, RGBColor(c.peRed, c.peGreen, c.peBlue));
    return bitmap;
}

std::unique_ptr<TBitmap> Reduce(TBitmap& source, TPaletteReduction mode, int bits = 8,
                                const TPalette* palette = nullptr) {
    auto result = ReduceBitmapColors(source, mode, edNearest, bits, palette);
    if (!result->Empty()) {
        EXPECT_EQ(result->PixelFormat(), pf8bit);
        EXPECT_EQ(result->Palette().size(), 256u);
    }
    return result;
}

using testsupport::ErrorOf;

std::vector<int> RowIndices(TBitmap& reduced) {
    std::vector<int> indices;
    for (int x = 0; x < reduced.Width(); ++x) indices.push_back(IndexAt(reduced, x, 0));
    return indices;
}

}  // namespace

TEST(ReduceBitmapColors, AllBlackFrameWithSystemColoursGivesTheFramedOctreePalette) {
    TBitmap black = pictures::Uniform(16, 9, Rgb(0, 0, 0));
    auto result = Reduce(black, prOctreePlusSystem);
    const TPalette& palette = result->Palette();
    const TPalette& system = SystemPalette20();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[i], system[i]) << i;
    for (int i = 10; i < 246; ++i) EXPECT_EQ(palette[i], Rgb(0, 0, 0)) << i;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[246 + i], system[10 + i]) << i;
    EXPECT_EQ(result->Bits(), std::vector<uint8_t>(result->Bits().size(), 0));
}

TEST(ReduceBitmapColors, OctreePlusSystemMapsEveryColourOfASmallPictureExactly) {
    TBitmap source = Row(
        {Rgb(10, 200, 30), Rgb(250, 1, 77), Rgb(10, 200, 30), Rgb(128, 128, 129), Rgb(3, 4, 5)});
    auto result = Reduce(source, prOctreePlusSystem);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(result->Palette()[IndexAt(*result, x, 0)], At(source, x, 0)) << x;
}

TEST(ReduceBitmapColors, FixedPaletteModes) {
    TBitmap cube = Row({Rgb(255, 0, 0), Rgb(47, 47, 47), Rgb(48, 48, 48), Rgb(0, 25, 255)});
    auto web = Reduce(cube, prWebCube216);
    EXPECT_EQ(RowIndices(*web), (std::vector<int>{180, 0, 43, 5}));
    EXPECT_EQ(web->Palette()[43], Rgb(51, 51, 51));
    EXPECT_EQ(web->Palette()[216], Rgb(0, 0, 0));

    TBitmap greys = Row({Rgb(128, 128, 128), Rgb(127, 127, 127), Rgb(255, 0, 0), Rgb(0, 255, 0),
                         Rgb(161, 161, 161)});
    auto mono = Reduce(greys, prBlackWhite);
    EXPECT_EQ(RowIndices(*mono), (std::vector<int>{1, 0, 0, 1, 1}));
    EXPECT_EQ(mono->Palette()[1], Rgb(255, 255, 255));
    auto grey256 = Reduce(greys, prGray256);
    EXPECT_EQ(RowIndices(*grey256), (std::vector<int>{128, 127, 76, 149, 161}));
    auto grey4 = Reduce(greys, prGray4);
    EXPECT_EQ(RowIndices(*grey4),
              (std::vector<int>{1, 1, 1, 1, 2}));  // nearest of 0, 128, 192, 255
    EXPECT_EQ(grey4->Palette()[2], Rgb(192, 192, 192));

    TBitmap colours = Row({Rgb(250, 250, 250), Rgb(130, 0, 0), Rgb(50, 100, 150)});
    EXPECT_EQ(RowIndices(*Reduce(colours, prSystem20)), (std::vector<int>{19, 1, 6}));
    auto halftone = Reduce(colours, prHalftone256);
    EXPECT_EQ(halftone->Palette(), HalftonePalette());
    EXPECT_EQ(halftone->Palette()[IndexAt(*halftone, 2, 0)], Rgb(51, 102, 153));
}

TEST(ReduceBitmapColors, CallerPaletteIsCopiedAndOnlyItsFirst256EntriesAreUsed) {
    TPalette palette = {Rgb(200, 0, 0), Rgb(0, 0, 200), Rgb(0, 200, 0)};
    TBitmap source = Row({Rgb(10, 180, 20), Rgb(190, 30, 30), Rgb(0, 0, 255)});
    auto result = Reduce(source, prCallerPalette, 8, &palette);
    EXPECT_EQ(RowIndices(*result), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(result->Palette()[2], palette[2]);
    EXPECT_EQ(result->Palette()[3], Rgb(0, 0, 0));

    TPalette long_(256, Rgb(1, 1, 1));
    long_.push_back(Rgb(255, 255, 255));  // index 256 cannot be stored in an 8-bit pixel
    TBitmap white = Row({Rgb(255, 255, 255)});
    EXPECT_EQ(RowIndices(*Reduce(white, prCallerPalette, 8, &long_)), std::vector<int>{0});
}

TEST(ReduceBitmapColors, UnusableSettingsGiveAnEmptyBitmap) {
    TBitmap source = pictures::Uniform(4, 3, Rgb(9, 9, 9));
    TPalette none;
    EXPECT_TRUE(Reduce(source, static_cast<TPaletteReduction>(10))->Empty());
    EXPECT_TRUE(Reduce(source, prCallerPalette)->Empty());
    EXPECT_TRUE(Reduce(source, prCallerPalette, 8, &none)->Empty());
    EXPECT_TRUE(
        ReduceBitmapColors(source, prWebCube216, static_cast<TErrorDiffusion>(7), 8, nullptr)
            ->Empty());
    EXPECT_FALSE(ReduceBitmapColors(source, prWebCube216, edBurkes, 8, nullptr)->Empty());
}

// The reduction written straight into a buffer gives the rows and colour table of the reduced
// bitmap, for every mode and dithering engine, and nothing where the bitmap would be empty.
TEST(ReduceBitmapColors, IntoABufferGivesTheRowsAndColourTableOfTheBitmap) {
    const TPalette caller = {Rgb(10, 20, 30), Rgb(200, 100, 0), Rgb(0, 255, 128)};
    for (int mode = prSystem20; mode <= prCallerPalette; ++mode) {
        for (int diffusion = edNearest; diffusion <= edBurkes; ++diffusion) {
            TBitmap picture = pictures::Noise(13, 9, static_cast<unsigned>(mode * 7 + diffusion));
            TBitmap copy = picture;
            const auto m = static_cast<TPaletteReduction>(mode);
            const auto d = static_cast<TErrorDiffusion>(diffusion);
            auto bitmap = ReduceBitmapColors(copy, m, d, 5, &caller);
            std::vector<uint8_t> indices(13 * 9, 0xEE);
            TPalette table;
            ASSERT_TRUE(ReduceBitmapColorsTo(picture, m, d, 5, &caller, indices.data(), table));
            EXPECT_EQ(table, bitmap->Palette()) << mode << " " << diffusion;
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 13; ++x)
                    ASSERT_EQ(indices[y * 13 + x], IndexAt(*bitmap, x, y))
                        << mode << " " << diffusion;
        }
    }
    TBitmap source = pictures::Uniform(4, 3, Rgb(9, 9, 9));
    std::vector<uint8_t> indices(12, 0xEE);
    TPalette table, none;
    EXPECT_FALSE(
        ReduceBitmapColorsTo(source, prNone, edNearest, 8, nullptr, indices.data(), table));
    EXPECT_FALSE(ReduceBitmapColorsTo(source, static_cast<TPaletteReduction>(10), edNearest, 8,
                                      nullptr, indices.data(), table));
    EXPECT_FALSE(
        ReduceBitmapColorsTo(source, prCallerPalette, edNearest, 8, &none, indices.data(), table));
    EXPECT_FALSE(ReduceBitmapColorsTo(source, prWebCube216, static_cast<TErrorDiffusion>(7), 8,
                                      nullptr, indices.data(), table));
    EXPECT_EQ(indices, std::vector<uint8_t>(12, 0xEE)) << "nothing written";
}

TEST(ReduceBitmapColors, SourceFormatHandling) {
    TBitmap source(5, 4, pf32bit);
    source.SetPixel(4, 3, RGBColor(255, 0, 0));
    auto copy = ReduceBitmapColors(source, prNone, edNearest, 8, nullptr);
    EXPECT_EQ(copy->PixelFormat(), pf24bit);
    EXPECT_EQ(copy->Pixel(4, 3), RGBColor(255, 0, 0));
    EXPECT_EQ(source.PixelFormat(), pf32bit);  // a plain copy leaves the source alone

    auto reduced = Reduce(source, prWebCube216);
    EXPECT_EQ(source.PixelFormat(), pf24bit);  // reducing converts it in place
    EXPECT_EQ(IndexAt(*reduced, 4, 3), 180);
}

TEST(ReduceBitmapColors, LargeSourceGivesTheSameResultAsASmallOne) {
    // 1000 x 600 is above the size where the result is first made a 1-bit bitmap.
    const int tileWidth = 50, tileHeight = 30;
    TBitmap tile = pictures::Noise(tileWidth, tileHeight, 11);  // 1500 colours: the octree merges
    TBitmap large(1000, 600, pf24bit);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 1000; ++x) {
            const TPaletteEntry c = At(tile, x % tileWidth, y % tileHeight);
            large.SetPixel(x, y, RGBColor(c.peRed, c.peGreen, c.peBlue));
        }
    auto small = Reduce(tile, prOctreePlusSystem);
    auto big = Reduce(large, prOctreePlusSystem);
    ASSERT_EQ(big->Width(), 1000);
    ASSERT_EQ(big->Height(), 600);
    EXPECT_EQ(big->Palette(), small->Palette());
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 1000; x += 3)
            ASSERT_EQ(IndexAt(*big, x, y), IndexAt(*small, x % tileWidth, y % tileHeight))
                << x << "," << y;
}

TEST(ReduceBitmapColors, OctreeBitsSetThePaletteSizeOnlyWithoutSystemColours) {
    TBitmap source = pictures::Noise(64, 48, 5);
    auto sixteen = Reduce(source, prOctree, 4);
    const std::set<uint8_t> used(sixteen->Bits().begin(), sixteen->Bits().end());
    EXPECT_LE(*used.rbegin(), 15);
    EXPECT_GT(used.size(), 8u);
    for (int i = 16; i < 256; ++i) ASSERT_EQ(sixteen->Palette()[i], Rgb(0, 0, 0)) << i;

    auto withBits4 = Reduce(source, prOctreePlusSystem, 4);
    auto withBits8 = Reduce(source, prOctreePlusSystem, 8);
    EXPECT_EQ(withBits4->Palette(), withBits8->Palette());
    EXPECT_EQ(withBits4->Bits(), withBits8->Bits());
    EXPECT_GT(std::count_if(withBits8->Palette().begin() + 10, withBits8->Palette().end() - 10,
                            [](const TPaletteEntry& e) { return !(e == Rgb(0, 0, 0)); }),
              100);  // far more than 16 octree colours

    // Bits outside 0..8 are kept to that range instead of shifting by them.
    EXPECT_EQ(Reduce(source, prOctree, -3)->Palette()[1], Rgb(0, 0, 0));
    EXPECT_FALSE(Reduce(source, prOctree, 40)->Empty());
}

TEST(ColorQuantizer, ListsFewColoursExactlyInTreeOrder) {
    TColorQuantizer quantizer(8);
    // Depth-first order compares red, green, blue bit by bit from the top bit.
    const TPaletteEntry colours[] = {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0), Rgb(128, 0, 0),
                                     Rgb(127, 255, 255)};
    for (int repeat = 0; repeat < 3; ++repeat)
        for (const TPaletteEntry& c : colours) quantizer.AddColor(c.peRed, c.peGreen, c.peBlue);
    EXPECT_EQ(quantizer.LeafCount(), 5);
    const TPalette expected = {Rgb(0, 0, 255), Rgb(0, 255, 0), Rgb(127, 255, 255), Rgb(128, 0, 0),
                               Rgb(255, 0, 0)};
    EXPECT_EQ(quantizer.ColorTable(), expected);
}

TEST(ColorQuantizer, MergesTheNewestDeepestBranchAndAveragesWithTruncation) {
    TColorQuantizer three(3);
    three.AddColor(0, 0, 0);
    three.AddColor(0, 0, 1);  // shares the level-7 node of (0,0,0)
    three.AddColor(255, 255, 254);
    three.AddColor(255, 255, 255);  // a fourth leaf: the newest level-7 node is merged
    EXPECT_EQ(three.LeafCount(), 3);
    EXPECT_EQ(three.ColorTable(), (TPalette{Rgb(0, 0, 0), Rgb(0, 0, 1), Rgb(255, 255, 254)}));

    TColorQuantizer one(1);
    one.AddColor(10, 20, 30);
    one.AddColor(31, 40, 50);
    one.AddColor(200, 200, 200);
    one.AddColor(200, 200, 200);  // the leaf that took it the first time is merged away
    EXPECT_EQ(one.LeafCount(), 1);
    EXPECT_EQ(one.ColorTable(), TPalette{Rgb(110, 115, 120)});
}

TEST(ColorQuantizer, LargeBrightPictureKeepsItsColour) {
    // 20 million bright pixels: the sums no longer fit 32 bits.
    TColorQuantizer quantizer(1);
    std::vector<uint8_t> row(3 * 4000, 255);
    for (size_t i = 0; i < row.size(); i += 6) row[i] = row[i + 1] = row[i + 2] = 254;
    for (int y = 0; y < 5000; ++y) quantizer.AddRow(row.data(), 4000);
    EXPECT_EQ(quantizer.ColorTable(), TPalette{Rgb(254, 254, 254)});
}

TEST(FastColorLookup, ACellAnswersWithTheEntryFoundForItsFirstColour) {
    TFastColorLookup lookup({Rgb(0, 0, 0), Rgb(20, 0, 0), Rgb(7, 7, 7)});
    EXPECT_EQ(lookup.FindIndex(7, 7, 7).index, 0);  // shares cell 0 with the first entry
    EXPECT_EQ(lookup.FindIndex(17, 0, 0).index, 1);
    // Cell of red 8..15: first asked with 10, equally far from black and (20,0,0) by absolute
    // differences; the first entry wins, and 15, though nearer to (20,0,0), gets that answer.
    EXPECT_EQ(lookup.FindIndex(10, 0, 0).index, 0);
    TColorMatch cached = lookup.FindIndex(15, 0, 0);
    EXPECT_EQ(cached.index, 0);
    EXPECT_EQ(cached.red, 0);
    TColorMatch grey = lookup.FindIndex(9, 9, 12);
    EXPECT_EQ(grey.index, 2);
    EXPECT_EQ(grey.blue, 7);
    EXPECT_EQ(TFastColorLookup(TPalette{}).Colors(), 0);
}

TEST(DIBWriter, Errors) {
    TBitmap target;
    auto creation = [&](TPixelFormat pf, int w, int h) {
        return [&target, pf, w, h] { TDIBWriter(target, pf, w, h, nullptr); };
    };
    EXPECT_EQ(ErrorOf<GIFException>(creation(pf4bit, 2, 2)), "Unsupported PixelFormat");
    EXPECT_EQ(ErrorOf<GIFException>(creation(pf32bit, 2, 2)), "Unsupported PixelFormat");
    EXPECT_EQ(ErrorOf<GIFException>(creation(pf8bit, 0, 2)), "Invalid image dimensions");
    EXPECT_EQ(ErrorOf<GIFException>(creation(pf24bit, -2, 2)), "Invalid image dimensions");

    TDIBWriter writer(target, pf8bit, 3, 2, nullptr);
    EXPECT_EQ(ErrorOf<EInvalidGraphicOperation>([&] { writer.ScanLine(2); }),
              "Scan line index out of range");
    EXPECT_EQ(ErrorOf<EInvalidGraphicOperation>([&] { writer.ScanLine(-1); }),
              "Scan line index out of range");
    writer.Finish();
    EXPECT_EQ(ErrorOf<GIFException>([&] { writer.ScanLine(0); }), "Image has no DIB");

    TDIBWriter huge(target, pf24bit, INT_MAX, INT_MAX, nullptr);
    EXPECT_EQ(ErrorOf<EOutOfMemory>([&] { huge.ScanLine(0); }),
              "Failed to allocate memory for GIF DIB");
}

TEST(DIBWriter, HandsItsRowsToTheTargetWhenDone) {
    TBitmap target(9, 9, pf32bit);
    TPalette palette = {Rgb(1, 2, 3), Rgb(4, 5, 6)};
    {
        TDIBWriter writer(target, pf8bit, 3, 2, &palette);
        writer.ScanLine(0)[2] = 1;
        writer.ScanLine(1)[0] = 1;
        EXPECT_EQ(target.Width(), 9);  // unchanged until the writer is done
    }
    ASSERT_EQ(target.PixelFormat(), pf8bit);
    ASSERT_EQ(target.Width(), 3);
    ASSERT_EQ(target.Height(), 2);
    EXPECT_EQ(target.Palette().size(), 256u);
    EXPECT_EQ(target.Palette()[2], Rgb(0, 0, 0));
    EXPECT_EQ(target.Pixel(2, 0), RGBColor(4, 5, 6));
    EXPECT_EQ(target.Pixel(0, 1), RGBColor(4, 5, 6));
    EXPECT_EQ(target.Pixel(0, 0), RGBColor(1, 2, 3));

    TBitmap truecolour(4, 4, pf24bit);
    { TDIBWriter unused(truecolour, pf8bit, 3, 2, nullptr); }
    EXPECT_EQ(truecolour.PixelFormat(), pf24bit);  // no row asked for: nothing handed over
    {
        TDIBWriter writer(truecolour, pf24bit, 2, 2, nullptr);
        uint8_t* row = writer.ScanLine(1);
        row[3] = 30, row[4] = 20, row[5] = 10;  // blue, green, red
    }
    EXPECT_TRUE(truecolour.Palette().empty());
    EXPECT_EQ(truecolour.Pixel(1, 1), RGBColor(10, 20, 30));
}
