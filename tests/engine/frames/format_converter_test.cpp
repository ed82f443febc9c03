#include "engine/frames/FormatConverter.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/entrypoints/avutil.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/media_test_support.h"

namespace {

using testsupport::ErrorOf;

// A picture over a buffer of its own, rows aligned to `align` bytes, filled with one colour
// when it is a 3-byte format.
struct TOwnedPicture {
    TOwnedPicture(AVPixelFormat format, int width, int height, int align = 1, int colour = -1) {
        Bytes.resize(libav::av_image_get_buffer_size(format, width, height, align));
        libav::av_image_fill_arrays(Picture.data, Picture.linesize, Bytes.data(), format, width,
                                    height, align);
        for (int y = 0; colour >= 0 && y < height; ++y) {
            for (int x = 0; x < 3 * width; ++x)
                Picture.data[0][y * Picture.linesize[0] + x] = (colour >> (8 * (x % 3))) & 0xFF;
        }
    }
    std::vector<uint8_t> Bytes;
    TPicture Picture{};
};

class FormatConverterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediatest::LoadMediaLibraries(); }
    TFormatConverter converter;
};

TEST_F(FormatConverterTest, WrapsPicturesInTheBitmapLayoutAndConvertsTheRest) {
    TOwnedPicture exact(AV_PIX_FMT_BGR24, 640, 480, 1, 0x1E140A);  // bytes 0A 14 1E
    ASSERT_TRUE(converter.ToBitmap(exact.Picture, AV_PIX_FMT_BGR24, false, 480, 640));
    EXPECT_FALSE(converter.CurrentIsConverted());
    EXPECT_EQ(converter.BitmapDescription().Bits, exact.Picture.data[0]);
    EXPECT_EQ(converter.BitmapDescription().WidthBytes, 1920);
    EXPECT_EQ(converter.Bitmap().Pixel(5, 5), clBlack);  // no copy asked for
    converter.CopyToBitmap();
    EXPECT_EQ(converter.Bitmap().Pixel(5, 5), RGBColor(30, 20, 10));

    struct TCase {
        AVPixelFormat Format;
        int Width, Height, Align;
    };
    for (const TCase& c :
         {TCase{AV_PIX_FMT_BGR24, 641, 480, 1}, TCase{AV_PIX_FMT_BGR24, 640, 481, 1},
          TCase{AV_PIX_FMT_BGR24, 650, 480, 64}, TCase{AV_PIX_FMT_RGB24, 640, 480, 1}}) {
        SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " align " << c.Align);
        TOwnedPicture picture(c.Format, c.Width, c.Height, c.Align, 0x1E140A);
        ASSERT_TRUE(converter.ToBitmap(picture.Picture, c.Format, true, c.Height, c.Width));
        EXPECT_TRUE(converter.CurrentIsConverted());
        const TColor expected =
            c.Format == AV_PIX_FMT_BGR24 ? RGBColor(30, 20, 10) : RGBColor(10, 20, 30);
        EXPECT_EQ(converter.Bitmap().Pixel(c.Width - 1, c.Height - 1), expected);
    }
}

// Each depth shows libav's colours truly, and keeps a bitmap through bitmap -> picture -> bitmap.
// The odd size sends both converters through their own buffers, whose packed rows are shorter
// than the bitmap's padded ones.
TEST_F(FormatConverterTest, EveryDepthShowsTrueColoursAndRoundTrips) {
    const TColor colours[] = {
        RGBColor(255, 0, 0),  RGBColor(0, 255, 0), RGBColor(0, 0, 255), clWhite, clBlack,
        RGBColor(255, 255, 0)};
    constexpr int width = 13, height = 7;
    for (int depth : {8, 15, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        TFormatConverter out, back;
        out.SetBitsPixel(depth);
        back.SetBitsPixel(depth);
        for (int colour : {0x0000FF, 0xFF0000}) {  // red, blue
            TOwnedPicture rgb(AV_PIX_FMT_RGB24, 16, 8, 1, colour);
            ASSERT_TRUE(out.ToBitmap(rgb.Picture, AV_PIX_FMT_RGB24, true, 8, 16));
            EXPECT_EQ(out.Bitmap().Pixel(3, 3), static_cast<TColor>(colour));
        }
        const AVPixelFormat format = out.BitmapPixelFormat();
        TOwnedPicture seed(format, width, height), picture(format, width, height);
        ASSERT_TRUE(out.ToBitmap(seed.Picture, format, true, height, width));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) out.Bitmap().SetPixel(x, y, colours[(x + y) % 6]);
        out.CopyFromBitmap();
        ASSERT_TRUE(out.FromBitmap(picture.Picture, format, height, width));
        ASSERT_TRUE(back.ToBitmap(picture.Picture, format, true, height, width));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(back.Bitmap().Pixel(x, y), colours[(x + y) % 6]);
    }
}

TEST_F(FormatConverterTest, BitsPixelAndFailures) {
    TOwnedPicture picture(AV_PIX_FMT_BGR24, 4, 4);
    ASSERT_TRUE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_BGR24, false, 4, 4));
    converter.SetBitsPixel(24);  // the current depth: nothing is reset
    EXPECT_NE(converter.CurrentPicture(), nullptr);
    EXPECT_EQ(ErrorOf<Exception>([&] { converter.SetBitsPixel(12); }), "Invalid BitsPixel 12");
    EXPECT_FALSE(converter.FromBitmap(picture.Picture, AV_PIX_FMT_NONE, 4, 4));
    EXPECT_EQ(converter.LastError(), "Cannot initialize the fromRGB conversion context");
    // An unknown format is refused, not handed to libswscale (which would abort).
    EXPECT_FALSE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_NONE, true, 4, 4));
    EXPECT_EQ(converter.LastError(), "Cannot initialize the toRGB conversion context");
    EXPECT_EQ(converter.CurrentPicture(), nullptr);
    EXPECT_THROW(converter.CopyFromBitmap(), Exception);

    converter.SetBitsPixel(16);
    EXPECT_EQ(converter.Bitmap().PixelFormat(), pf16bit);
}

}  // namespace
