// Colour reduction: palettes of every mode, the lookups, the octree and the row writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

#include "gif/ColorLookup.h"
#include "gif/ColorReduction.h"
#include "gif/DIBAccess.h"
#include "gif/GIFException.h"
#include "gif/OctreeQuantizer.h"
#include "platform/SystemPalette.h"
#include "tests/gif/ReductionPictures.h"

using pictures::At;
using pictures::IndexAt;
using pictures::Rgb;

namespace {

TBitmap Row(std::initializer_list<TPaletteEntry> colors) {
    TBitmap bitmap(static_cast<int>(colors.size()), 1, pf24bit);
    int x = 0;
    for (const TPaletteEntry& c : colors) bitmap.SetPixel(x++, 0, RGBColor(c.peRed, c.peGreen, c.peBlue));
    return bitmap;
}

std::unique_ptr<TBitmap> Reduce(TBitmap& source, TPaletteReduction mode, int bits = 8,
                                const TPalette* palette = nullptr) {
    return ReduceBitmapColors(source, mode, edNearest, bits, palette);
}

void ExpectIndexedResult(const TBitmap& result, int width, int height) {
    EXPECT_EQ(result.PixelFormat(), pf8bit);
    EXPECT_EQ(result.Width(), width);
    EXPECT_EQ(result.Height(), height);
    EXPECT_EQ(result.Palette().size(), 256u);
}

// A gradient with plenty of distinct colours.
TBitmap Gradient(int width, int height) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, RGBColor(static_cast<uint8_t>(x * 255 / width), static_cast<uint8_t>(y * 255 / height),
                                           static_cast<uint8_t>((x + y) * 3)));
    return bitmap;
}

}  // namespace

TEST(ReduceBitmapColors, AllBlackFrameWithSystemColorsGivesTheFramedOctreePalette) {
    TBitmap black = pictures::Uniform(16, 9, Rgb(0, 0, 0));
    auto result = Reduce(black, prOctreePlusSystem);
    ExpectIndexedResult(*result, 16, 9);
    const TPalette& palette = result->Palette();
    const TPalette& system = SystemPalette20();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[i], system[i]) << i;
    for (int i = 10; i < 246; ++i) EXPECT_EQ(palette[i], Rgb(0, 0, 0)) << i;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[246 + i], system[10 + i]) << i;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(IndexAt(*result, x, y), 0);
}

TEST(ReduceBitmapColors, OctreePlusSystemMapsEveryColourOfASmallPictureExactly) {
    TBitmap source = Row({Rgb(10, 200, 30), Rgb(250, 1, 77), Rgb(10, 200, 30), Rgb(128, 128, 129), Rgb(3, 4, 5)});
    auto result = Reduce(source, prOctreePlusSystem);
    ExpectIndexedResult(*result, 5, 1);
    for (int x = 0; x < 5; ++x) {
        const int index = IndexAt(*result, x, 0);
        EXPECT_EQ(result->Palette()[index], At(source, x, 0)) << x;
    }
}

TEST(ReduceBitmapColors, WebCubeRoundsEachChannelToItsLevel) {
    TBitmap source = Row({Rgb(255, 0, 0), Rgb(47, 47, 47), Rgb(48, 48, 48), Rgb(0, 25, 255)});
    auto result = Reduce(source, prWebCube216);
    ExpectIndexedResult(*result, 4, 1);
    EXPECT_EQ(IndexAt(*result, 0, 0), 180);
    EXPECT_EQ(IndexAt(*result, 1, 0), 0);
    EXPECT_EQ(IndexAt(*result, 2, 0), 43);
    EXPECT_EQ(result->Palette()[43], Rgb(51, 51, 51));
    EXPECT_EQ(IndexAt(*result, 3, 0), 5);
    EXPECT_EQ(result->Palette()[215], Rgb(255, 255, 255));
    EXPECT_EQ(result->Palette()[216], Rgb(0, 0, 0));
}

TEST(ReduceBitmapColors, BlackWhiteSplitsAtHalfLuminance) {
    TBitmap source = Row({Rgb(128, 128, 128), Rgb(127, 127, 127), Rgb(255, 0, 0), Rgb(0, 255, 0)});
    auto result = Reduce(source, prBlackWhite);
    ExpectIndexedResult(*result, 4, 1);
    EXPECT_EQ(IndexAt(*result, 0, 0), 1);
    EXPECT_EQ(IndexAt(*result, 1, 0), 0);
    EXPECT_EQ(IndexAt(*result, 2, 0), 0);  // 77 x 255 is dark
    EXPECT_EQ(IndexAt(*result, 3, 0), 1);  // 150 x 255 is bright
    EXPECT_EQ(result->Palette()[0], Rgb(0, 0, 0));
    EXPECT_EQ(result->Palette()[1], Rgb(255, 255, 255));
}

TEST(ReduceBitmapColors, FixedGreyPalettes) {
    TBitmap source = Row({Rgb(100, 100, 100), Rgb(255, 255, 255), Rgb(161, 161, 161), Rgb(10, 250, 30)});
    auto grey256 = Reduce(source, prGray256);
    EXPECT_EQ(IndexAt(*grey256, 0, 0), 100);
    EXPECT_EQ(IndexAt(*grey256, 1, 0), 255);
    EXPECT_EQ(IndexAt(*grey256, 3, 0), (77 * 10 + 150 * 250 + 29 * 30) >> 8);
    EXPECT_EQ(grey256->Palette()[77], Rgb(77, 77, 77));

    auto grey4 = Reduce(source, prGray4);
    ExpectIndexedResult(*grey4, 4, 1);
    EXPECT_EQ(grey4->Palette()[2], Rgb(192, 192, 192));
    EXPECT_EQ(grey4->Palette()[4], Rgb(0, 0, 0));
    EXPECT_EQ(IndexAt(*grey4, 0, 0), 1);  // nearest of 0, 128, 192, 255
    EXPECT_EQ(IndexAt(*grey4, 1, 0), 3);
    EXPECT_EQ(IndexAt(*grey4, 2, 0), 2);
}

TEST(ReduceBitmapColors, SystemAndHalftonePalettesUseTheirNearestEntries) {
    TBitmap source = Row({Rgb(250, 250, 250), Rgb(130, 0, 0), Rgb(50, 100, 150)});
    auto system = Reduce(source, prSystem20);
    ExpectIndexedResult(*system, 3, 1);
    EXPECT_EQ(system->Palette()[13], Rgb(255, 0, 0));
    EXPECT_EQ(system->Palette()[20], Rgb(0, 0, 0));
    EXPECT_EQ(IndexAt(*system, 0, 0), 19);
    EXPECT_EQ(IndexAt(*system, 1, 0), 1);

    auto halftone = Reduce(source, prHalftone256);
    EXPECT_EQ(halftone->Palette(), HalftonePalette());
    EXPECT_EQ(halftone->Palette()[IndexAt(*halftone, 2, 0)], Rgb(51, 102, 153));
}

TEST(ReduceBitmapColors, CallerPaletteIsCopiedAndPaddedWithBlack) {
    TPalette palette = {Rgb(200, 0, 0), Rgb(0, 0, 200), Rgb(0, 200, 0)};
    TBitmap source = Row({Rgb(10, 180, 20), Rgb(190, 30, 30), Rgb(0, 0, 255)});
    auto result = Reduce(source, prCallerPalette, 8, &palette);
    ExpectIndexedResult(*result, 3, 1);
    EXPECT_EQ(result->Palette()[0], palette[0]);
    EXPECT_EQ(result->Palette()[2], palette[2]);
    EXPECT_EQ(result->Palette()[3], Rgb(0, 0, 0));
    EXPECT_EQ(IndexAt(*result, 0, 0), 2);
    EXPECT_EQ(IndexAt(*result, 1, 0), 0);
    EXPECT_EQ(IndexAt(*result, 2, 0), 1);
}

TEST(ReduceBitmapColors, CallerPaletteBeyond256EntriesOnlyUsesTheFirst256) {
    TPalette palette(256, Rgb(1, 1, 1));
    palette.push_back(Rgb(255, 255, 255));  // entry 256 cannot be stored in an 8-bit pixel
    TBitmap source = Row({Rgb(255, 255, 255)});
    auto result = Reduce(source, prCallerPalette, 8, &palette);
    ExpectIndexedResult(*result, 1, 1);
    EXPECT_EQ(IndexAt(*result, 0, 0), 0);
    EXPECT_EQ(result->Palette()[0], Rgb(1, 1, 1));
}

TEST(ReduceBitmapColors, UnusableSettingsGiveAnEmptyBitmap) {
    TBitmap source = pictures::Uniform(4, 3, Rgb(9, 9, 9));
    TPalette none;
    EXPECT_TRUE(Reduce(source, static_cast<TPaletteReduction>(10))->Empty());
    EXPECT_TRUE(Reduce(source, prCallerPalette)->Empty());
    EXPECT_TRUE(Reduce(source, prCallerPalette, 8, &none)->Empty());
    EXPECT_TRUE(ReduceBitmapColors(source, prWebCube216, static_cast<TErrorDiffusion>(7), 8, nullptr)->Empty());
    EXPECT_FALSE(ReduceBitmapColors(source, prWebCube216, edBurkes, 8, nullptr)->Empty());
}

TEST(ReduceBitmapColors, NoReductionCopiesAsTwentyFourBitsAndLeavesTheSource) {
    TBitmap source(3, 2, pf32bit);
    source.SetPixel(2, 1, RGBColor(1, 2, 3));
    auto result = Reduce(source, prNone);
    EXPECT_EQ(result->PixelFormat(), pf24bit);
    EXPECT_EQ(result->Pixel(2, 1), RGBColor(1, 2, 3));
    EXPECT_EQ(source.PixelFormat(), pf32bit);
}

TEST(ReduceBitmapColors, SourceIsConvertedToTwentyFourBits) {
    TBitmap source(5, 4, pf32bit);
    source.SetPixel(4, 3, RGBColor(255, 0, 0));
    auto result = Reduce(source, prWebCube216);
    EXPECT_EQ(source.PixelFormat(), pf24bit);
    EXPECT_EQ(IndexAt(*result, 4, 3), 180);
}

TEST(ReduceBitmapColors, LargeSourceGivesTheSameResultAsASmallOne) {
    // 1000 x 600 is above the size where the result is first made a 1-bit bitmap.
    const int tileWidth = 50, tileHeight = 30;
    TBitmap tile = pictures::Noise(tileWidth, tileHeight, 11);
    TBitmap large(1000, 600, pf24bit);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 1000; ++x) {
            const TPaletteEntry c = At(tile, x % tileWidth, y % tileHeight);
            large.SetPixel(x, y, RGBColor(c.peRed, c.peGreen, c.peBlue));
        }
    // 1500 colours: the octree merges, and the same colours make the same tree at any size.
    auto small = Reduce(tile, prOctreePlusSystem);
    auto big = Reduce(large, prOctreePlusSystem);
    ExpectIndexedResult(*big, 1000, 600);
    EXPECT_EQ(big->Palette(), small->Palette());
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 1000; x += 3)
            ASSERT_EQ(IndexAt(*big, x, y), IndexAt(*small, x % tileWidth, y % tileHeight)) << x << "," << y;
}

TEST(ReduceBitmapColors, OctreeBitsSetThePaletteSizeOnlyWithoutSystemColours) {
    TBitmap source = Gradient(64, 48);
    auto sixteen = Reduce(source, prOctree, 4);
    ExpectIndexedResult(*sixteen, 64, 48);
    std::set<int> used;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) used.insert(IndexAt(*sixteen, x, y));
    EXPECT_LE(*used.rbegin(), 15);
    EXPECT_GT(used.size(), 8u);
    for (int i = 16; i < 256; ++i) ASSERT_EQ(sixteen->Palette()[i], Rgb(0, 0, 0)) << i;

    auto withBits4 = Reduce(source, prOctreePlusSystem, 4);
    auto withBits8 = Reduce(source, prOctreePlusSystem, 8);
    EXPECT_EQ(withBits4->Palette(), withBits8->Palette());
    EXPECT_EQ(withBits4->Bits(), withBits8->Bits());
    EXPECT_NE(withBits8->Palette()[200], Rgb(0, 0, 0));  // many more than 16 colours

    // Out-of-range bits are kept to 0..8 instead of shifting by them.
    auto one = Reduce(source, prOctree, -3);
    EXPECT_EQ(one->Palette()[1], Rgb(0, 0, 0));
    auto full = Reduce(source, prOctree, 40);
    ExpectIndexedResult(*full, 64, 48);
}

// --- Octree quantizer -------------------------------------------------------------------

TEST(ColorQuantizer, ListsFewColoursExactlyInTreeOrder) {
    TColorQuantizer quantizer(8);
    // Depth-first order compares red, green, blue bit by bit from the top bit.
    const TPaletteEntry colours[] = {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0), Rgb(128, 0, 0), Rgb(127, 255, 255)};
    for (int repeat = 0; repeat < 3; ++repeat)
        for (const TPaletteEntry& c : colours) quantizer.AddColor(c.peRed, c.peGreen, c.peBlue);
    EXPECT_EQ(quantizer.LeafCount(), 5);
    const TPalette expected = {Rgb(0, 0, 255), Rgb(0, 255, 0), Rgb(127, 255, 255), Rgb(128, 0, 0), Rgb(255, 0, 0)};
    EXPECT_EQ(quantizer.ColorTable(), expected);
}

TEST(ColorQuantizer, MergesTheNewestDeepestBranchAndAveragesWithTruncation) {
    TColorQuantizer quantizer(3);
    quantizer.AddColor(0, 0, 0);
    quantizer.AddColor(0, 0, 1);        // shares the level-7 node of (0,0,0)
    quantizer.AddColor(255, 255, 254);
    quantizer.AddColor(255, 255, 255);  // a fourth leaf: the newest level-7 node is merged
    EXPECT_EQ(quantizer.LeafCount(), 3);
    const TPalette expected = {Rgb(0, 0, 0), Rgb(0, 0, 1), Rgb(255, 255, 254)};
    EXPECT_EQ(quantizer.ColorTable(), expected);
}

TEST(ColorQuantizer, OneColourAveragesEverything) {
    TColorQuantizer quantizer(1);
    quantizer.AddColor(10, 20, 30);
    quantizer.AddColor(31, 40, 50);
    quantizer.AddColor(200, 200, 200);
    quantizer.AddColor(200, 200, 200);  // the leaf that took it the first time is merged away
    EXPECT_EQ(quantizer.LeafCount(), 1);
    EXPECT_EQ(quantizer.ColorTable(), TPalette{Rgb(110, 115, 120)});
}

TEST(ColorQuantizer, LargeBrightPictureKeepsItsColour) {
    // 20 million bright pixels: the sums no longer fit 32 bits.
    TColorQuantizer quantizer(1);
    std::vector<uint8_t> row(3 * 4000, 255);
    for (size_t i = 0; i < row.size(); i += 6) row[i] = row[i + 1] = row[i + 2] = 254;
    for (int y = 0; y < 5000; ++y) quantizer.AddRow(row.data(), 4000);
    EXPECT_EQ(quantizer.ColorTable(), TPalette{Rgb(254, 254, 254)});
}

// --- Lookups ----------------------------------------------------------------------------

TEST(FastColorLookup, ACellAnswersWithTheEntryFoundForItsFirstColour) {
    TFastColorLookup lookup({Rgb(0, 0, 0), Rgb(20, 0, 0), Rgb(7, 7, 7)});
    EXPECT_EQ(lookup.Colors(), 3);
    // (0,0,0) and (7,7,7) share cell 0: the first entry holds it.
    EXPECT_EQ(lookup.FindIndex(7, 7, 7).index, 0);
    // (20,0,0) holds its own cell outright.
    EXPECT_EQ(lookup.FindIndex(17, 0, 0).index, 1);
    // Cell of red 8..15: first asked with 10, equally far (by absolute differences) from
    // black and (20,0,0); the first entry wins the tie...
    EXPECT_EQ(lookup.FindIndex(10, 0, 0).index, 0);
    // ... and 15, though nearer to (20,0,0), gets the cell's answer.
    TColorMatch cached = lookup.FindIndex(15, 0, 0);
    EXPECT_EQ(cached.index, 0);
    EXPECT_EQ(cached.red, 0);
    // The match carries the entry's colour.
    TColorMatch grey = lookup.FindIndex(9, 9, 12);
    EXPECT_EQ(grey.index, 2);
    EXPECT_EQ(grey.red, 7);
    EXPECT_EQ(grey.blue, 7);
}

TEST(ColorLookups, EmptyPalettesAreUnusable) {
    EXPECT_EQ(TFastColorLookup(TPalette{}).Colors(), 0);
    EXPECT_EQ(TSlowColorLookup(TPalette{}).Colors(), 0);
    EXPECT_EQ(TSlowColorLookup(TPalette(300)).Colors(), 256);
}

// --- Row writer -------------------------------------------------------------------------

TEST(DIBWriter, RefusesFormatsAndSizesItCannotBuild) {
    TBitmap target;
    auto message = [&](TPixelFormat pf, int w, int h) {
        try {
            TDIBWriter writer(target, pf, w, h, nullptr);
        } catch (const GIFException& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message(pf4bit, 2, 2), "Unsupported PixelFormat");
    EXPECT_EQ(message(pf32bit, 2, 2), "Unsupported PixelFormat");
    EXPECT_EQ(message(pf8bit, 0, 2), "Invalid image dimensions");
    EXPECT_EQ(message(pf24bit, 2, 0), "Invalid image dimensions");
    EXPECT_EQ(message(pf24bit, -2, 2), "Invalid image dimensions");
    EXPECT_EQ(message(pf24bit, 2, 2), "");
}

TEST(DIBWriter, RowErrors) {
    TBitmap target;
    TDIBWriter writer(target, pf8bit, 3, 2, nullptr);
    EXPECT_THROW(writer.ScanLine(2), EInvalidGraphicOperation);
    try {
        writer.ScanLine(-1);
        FAIL();
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
    writer.ScanLine(0)[0] = 7;
    writer.Finish();
    try {
        writer.ScanLine(0);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Image has no DIB");
    }
}

TEST(DIBWriter, ImageTooLargeForMemoryIsAnOutOfMemoryError) {
    TBitmap target;
    TDIBWriter writer(target, pf24bit, INT_MAX, INT_MAX, nullptr);
    try {
        writer.ScanLine(0);
        FAIL();
    } catch (const EOutOfMemory& e) {
        EXPECT_STREQ(e.what(), "Failed to allocate memory for GIF DIB");
    }
}

TEST(DIBWriter, HandsItsRowsToTheTargetTopRowFirst) {
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
    EXPECT_EQ(target.Palette()[1], Rgb(4, 5, 6));
    EXPECT_EQ(target.Palette()[2], Rgb(0, 0, 0));
    EXPECT_EQ(target.Pixel(2, 0), RGBColor(4, 5, 6));
    EXPECT_EQ(target.Pixel(0, 1), RGBColor(4, 5, 6));
    EXPECT_EQ(target.Pixel(0, 0), RGBColor(1, 2, 3));

    TBitmap truecolour;
    {
        TDIBWriter writer(truecolour, pf24bit, 2, 2, nullptr);
        uint8_t* row = writer.ScanLine(1);
        row[3] = 30, row[4] = 20, row[5] = 10;  // blue, green, red
    }
    EXPECT_EQ(truecolour.PixelFormat(), pf24bit);
    EXPECT_TRUE(truecolour.Palette().empty());
    EXPECT_EQ(truecolour.Pixel(1, 1), RGBColor(10, 20, 30));
}

TEST(DIBWriter, WriterWithoutRowsLeavesTheTargetAlone) {
    TBitmap target(4, 4, pf24bit);
    { TDIBWriter writer(target, pf8bit, 3, 2, nullptr); }
    EXPECT_EQ(target.PixelFormat(), pf24bit);
    EXPECT_EQ(target.Width(), 4);
}

TEST(DIBReader, ConvertsTheBitmapInPlace) {
    TBitmap bitmap(2, 2, pf32bit);
    bitmap.SetPixel(1, 1, RGBColor(9, 8, 7));
    TDIBReader reader(bitmap, pf24bit);
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    const uint8_t* row = reader.ScanLine(1);
    EXPECT_EQ(row[3], 7);
    EXPECT_EQ(row[5], 9);
    EXPECT_THROW(reader.ScanLine(2), EInvalidGraphicOperation);
}
