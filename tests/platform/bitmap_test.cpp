#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Stream.h"
#include "platform/SystemPalette.h"

namespace {

TBitmap Gradient(int w, int h, TPixelFormat pf = pf24bit) {
    TBitmap bmp(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(x, y,
                         RGBColor(static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11),
                                  static_cast<uint8_t>((x + y) * 3)));
    bmp.SetPixelFormat(pf);
    return bmp;
}

TBitmap RoundTripBMP(const TBitmap& bmp) {
    TMemoryStream stream;
    bmp.SaveToStream(stream);
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    return back;
}

}  // namespace

TEST(Bitmap, RowsArePaddedToFourBytesAndBoundsChecked) {
    TBitmap bmp(5, 3, pf24bit);
    EXPECT_EQ(bmp.RowBytes(), 16u);
    bmp.SetPixelFormat(pf8bit);
    EXPECT_EQ(bmp.RowBytes(), 8u);
    bmp.SetPixelFormat(pf1bit);
    EXPECT_EQ(bmp.RowBytes(), 4u);
    EXPECT_THROW(bmp.ScanLine(3), EInvalidGraphicOperation);
    EXPECT_THROW(bmp.ScanLine(-1), EInvalidGraphicOperation);
    try {
        TBitmap().ScanLine(0);
        FAIL();
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
}

TEST(Bitmap, TwentyFourBitRowsAreBlueGreenRed) {
    TBitmap bmp(2, 1, pf24bit);
    bmp.SetPixel(1, 0, RGBColor(10, 20, 30));
    const uint8_t* row = bmp.ScanLine(0);
    EXPECT_EQ(row[3], 30);
    EXPECT_EQ(row[4], 20);
    EXPECT_EQ(row[5], 10);
}

TEST(Bitmap, TrueColourFormatsConvertWithoutLossWhereTheDepthAllows) {
    const TBitmap source = Gradient(19, 7);
    for (TPixelFormat pf : {pf32bit, pfDevice}) {
        TBitmap copy = source;
        copy.SetPixelFormat(pf);
        copy.SetPixelFormat(pf24bit);
        EXPECT_EQ(copy.Bits(), source.Bits());
    }
    TBitmap b16 = source;
    b16.SetPixelFormat(pf16bit);
    TBitmap b15 = source;
    b15.SetPixelFormat(pf15bit);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 19; ++x) {
            const TColor c = source.Pixel(x, y), c16 = b16.Pixel(x, y), c15 = b15.Pixel(x, y);
            EXPECT_NEAR(GetRValue(c16), GetRValue(c), 7);
            EXPECT_NEAR(GetGValue(c16), GetGValue(c), 3);
            EXPECT_NEAR(GetGValue(c15), GetGValue(c), 7);
            EXPECT_NEAR(GetBValue(c15), GetBValue(c), 7);
        }
}

TEST(Bitmap, IndexedTargetsMapToTheirPalette) {
    TBitmap bmp(3, 1, pf24bit);
    bmp.SetPixel(0, 0, RGBColor(250, 250, 250));
    bmp.SetPixel(1, 0, RGBColor(5, 5, 5));
    bmp.SetPixel(2, 0, RGBColor(200, 10, 10));
    TBitmap mono = bmp;
    mono.SetPixelFormat(pf1bit);
    EXPECT_EQ(mono.Pixel(0, 0), clWhite);
    EXPECT_EQ(mono.Pixel(1, 0), clBlack);
    TBitmap vga = bmp;
    vga.SetPixelFormat(pf4bit);
    EXPECT_EQ(vga.Pixel(2, 0), RGBColor(255, 0, 0));
    TBitmap own = bmp;
    own.SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}, {190, 0, 0, 0}});
    own.SetPixelFormat(pf8bit);
    EXPECT_EQ(own.ScanLine(0)[0], 1);
    EXPECT_EQ(own.ScanLine(0)[1], 0);
    EXPECT_EQ(own.ScanLine(0)[2], 2);
}

TEST(Bitmap, BMPFilesRoundTripEveryDepth) {
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        const TBitmap source = Gradient(13, 5, pf);
        const TBitmap back = RoundTripBMP(source);
        EXPECT_EQ(back.PixelFormat(), pf) << pf;
        EXPECT_EQ(back.Width(), 13);
        EXPECT_EQ(back.Height(), 5);
        EXPECT_EQ(back.Bits(), source.Bits()) << pf;
        if (pf <= pf8bit) {
            EXPECT_EQ(back.Palette(), source.Palette());
        }
    }
}

TEST(Bitmap, DamagedBMPIsRefused) {
    const TBitmap source = Gradient(8, 8);
    TMemoryStream stream;
    source.SaveToStream(stream);
    std::vector<uint8_t> bytes = stream.Data();
    bytes.resize(bytes.size() / 2);
    TBitmap target;
    EXPECT_THROW(target.LoadFromMemory(bytes.data(), bytes.size()), EInvalidGraphic);
    bytes[0] = 'X';
    EXPECT_THROW(target.LoadFromMemory(bytes.data(), bytes.size()), EInvalidGraphic);
}

TEST(Bitmap, TransparencyMaskFollowsTheTransparentColour) {
    TBitmap bmp(2, 2, pf24bit);
    bmp.SetPixel(1, 0, RGBColor(9, 9, 9));
    bmp.SetTransparent(true);
    // By default the bottom-left pixel gives the transparent colour (black here).
    EXPECT_TRUE(bmp.MaskBit(0, 0));
    EXPECT_FALSE(bmp.MaskBit(1, 0));
    bmp.SetTransparentColor(RGBColor(9, 9, 9));
    EXPECT_TRUE(bmp.MaskBit(1, 0));
    EXPECT_FALSE(bmp.MaskBit(0, 0));
}

TEST(SystemPalettes, LayoutOfTheFixedPalettes) {
    const TPalette& sys = SystemPalette20();
    ASSERT_EQ(sys.size(), 20u);
    EXPECT_EQ(sys[8], (TPaletteEntry{192, 220, 192, 0}));
    EXPECT_EQ(sys[10], (TPaletteEntry{255, 251, 240, 0}));
    const TPalette& half = HalftonePalette();
    ASSERT_EQ(half.size(), 256u);
    EXPECT_EQ(half[9], sys[9]);
    EXPECT_EQ(half[10], (TPaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(half[10 + 36 * 5 + 6 * 1 + 2], (TPaletteEntry{255, 51, 102, 0}));
    EXPECT_EQ(half[246], sys[10]);
    EXPECT_EQ(half[255], sys[19]);
}

TEST(NearestColorIndex, AgreesWithAPlainScanIncludingTies) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 4; ++round) {
        TPalette palette(round == 0 ? 20 : 256);
        for (auto& e : palette) {
            // Coarse levels make equal distances (ties) common.
            e.peRed = static_cast<uint8_t>(byte(rng) & 0xF0);
            e.peGreen = static_cast<uint8_t>(byte(rng) & 0xF0);
            e.peBlue = static_cast<uint8_t>(byte(rng) & 0xF0);
        }
        if (round == 3) palette = HalftonePalette();
        TNearestColorIndex index(palette);
        for (int i = 0; i < 20000; ++i) {
            const auto r = static_cast<uint8_t>(byte(rng)), g = static_cast<uint8_t>(byte(rng)),
                       b = static_cast<uint8_t>(byte(rng));
            ASSERT_EQ(index.Find(r, g, b), GetNearestPaletteIndex(palette, r, g, b))
                << int(r) << "," << int(g) << "," << int(b);
            // Asked again, the cached answer is the same.
            ASSERT_EQ(index.Find(r, g, b), GetNearestPaletteIndex(palette, r, g, b));
        }
    }
}

TEST(NearestColorIndex, WholeRowsAgreeWithAPlainScanOnClusteredPalettes) {
    // Entries packed closely (as an octree palette of one picture is), with repeated colours:
    // cells then have long candidate lists and many ties.
    std::mt19937 rng(11);
    std::normal_distribution<double> spread(0.0, 9.0);
    auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    TPalette palette(256);
    for (size_t i = 0; i < palette.size(); ++i) {
        if (i % 17 == 0 && i > 0) {
            palette[i] = palette[i - 1];
            continue;
        }
        palette[i].peRed = clamp(120 + spread(rng));
        palette[i].peGreen = clamp(90 + spread(rng));
        palette[i].peBlue = clamp(160 + spread(rng));
    }
    std::vector<uint8_t> row(3 * 4096);
    for (size_t i = 0; i < row.size(); i += 3) {
        row[i] = clamp(160 + 2 * spread(rng));
        row[i + 1] = clamp(90 + 2 * spread(rng));
        row[i + 2] = clamp(120 + 2 * spread(rng));
    }
    TNearestColorIndex index(palette);
    std::vector<uint8_t> answers(4096);
    index.FindRow(row.data(), 4096, answers.data());
    for (size_t x = 0; x < answers.size(); ++x)
        ASSERT_EQ(answers[x],
                  GetNearestPaletteIndex(palette, row[3 * x + 2], row[3 * x + 1], row[3 * x]))
            << "pixel " << x;
}

TEST(NearestColorIndex, LowestIndexWinsATie) {
    const TPalette palette = {{10, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {20, 0, 0, 0}};
    TNearestColorIndex index(palette);
    EXPECT_EQ(index.Find(15, 0, 0), 0);
    EXPECT_EQ(index.Find(0, 0, 0), 1);
    EXPECT_EQ(TNearestColorIndex(TPalette{}).Find(1, 2, 3), -1);
}

namespace {

// A BMP file with a 40-byte header, the given fields, three bit-field masks (read only with
// compression 3) and `pixelBytes` bytes of 0x5A as pixel data.
std::vector<uint8_t> HandMadeBMP(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                                 size_t pixelBytes) {
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) {
        for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t pixelOffset = 14 + 40 + 12 + (bits <= 8 ? 4u << bits : 0u);
    out = {'B', 'M'};
    put32(static_cast<uint32_t>(pixelOffset + pixelBytes));
    put32(0);
    put32(pixelOffset);
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height));
    put16(1);
    put16(bits);
    put32(compression);
    for (int i = 0; i < 5; ++i) put32(0);
    put32(0xFF0000);
    put32(0x00FF00);
    put32(0x0000FF);
    out.resize(pixelOffset, 0);
    out.resize(pixelOffset + pixelBytes, 0x5A);
    return out;
}

void ExpectRefused(const std::vector<uint8_t>& bytes, const char* what) {
    TBitmap target;
    try {
        target.LoadFromMemory(bytes.data(), bytes.size());
        ADD_FAILURE() << what << " was loaded as " << target.Width() << "x" << target.Height();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Bitmap image is not valid") << what;
    }
}

}  // namespace

TEST(Bitmap, BitFieldsAreRefusedForDepthsOtherThan16And32) {
    // Rows of these depths are narrower than the four bytes a bit-field pixel takes: reading
    // them as bit fields ran past the file's rows and the bitmap's.
    ExpectRefused(HandMadeBMP(64, 4, 8, 3, 64 * 4), "8-bit bit fields");
    ExpectRefused(HandMadeBMP(64, 4, 24, 3, 64 * 3 * 4), "24-bit bit fields");
    ExpectRefused(HandMadeBMP(64, 4, 4, 3, 32 * 4), "4-bit bit fields");

    TBitmap wide;
    const std::vector<uint8_t> thirtyTwo = HandMadeBMP(3, 2, 32, 3, 3 * 4 * 2);
    wide.LoadFromMemory(thirtyTwo.data(), thirtyTwo.size());
    EXPECT_EQ(wide.PixelFormat(), pf32bit);
    EXPECT_EQ(wide.Pixel(2, 1), RGBColor(0x5A, 0x5A, 0x5A));
}

TEST(Bitmap, PicturesWithoutAreaOrWithTheMostNegativeHeightAreRefused) {
    ExpectRefused(HandMadeBMP(0, 4, 24, 0, 64), "zero width");
    ExpectRefused(HandMadeBMP(4, 0, 24, 0, 64), "zero height");
    ExpectRefused(HandMadeBMP(4, INT32_MIN, 24, 0, 64), "height INT_MIN");
    ExpectRefused(HandMadeBMP(4, -65536, 24, 0, 64), "top-down height beyond 65535");

    TBitmap topDown;
    const std::vector<uint8_t> bytes = HandMadeBMP(4, -2, 24, 0, 12 * 2);
    topDown.LoadFromMemory(bytes.data(), bytes.size());
    EXPECT_EQ(topDown.Height(), 2);
}
