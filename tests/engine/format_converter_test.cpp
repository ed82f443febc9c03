#include "engine/FormatConverter.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/entrypoints/avutil.h"
#include "tests/engine/media_test_support.h"

namespace {

// A picture over a buffer of its own, rows aligned to `align` bytes.
struct TOwnedPicture {
    TOwnedPicture(AVPixelFormat format, int width, int height, int align = 1)
        : Format(format), Width(width), Height(height) {
        Bytes.resize(libav::av_image_get_buffer_size(format, width, height, align));
        libav::av_image_fill_arrays(Picture.data, Picture.linesize, Bytes.data(), format, width,
                                    height, align);
    }
    // Sets every pixel of a packed 3-byte picture to the given bytes.
    void Fill3(uint8_t first, uint8_t second, uint8_t third) {
        for (int y = 0; y < Height; ++y) {
            uint8_t* row = Picture.data[0] + y * Picture.linesize[0];
            for (int x = 0; x < Width; ++x) {
                row[3 * x] = first;
                row[3 * x + 1] = second;
                row[3 * x + 2] = third;
            }
        }
    }
    AVPixelFormat Format;
    int Width, Height;
    std::vector<uint8_t> Bytes;
    TPicture Picture{};
};

class FormatConverterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediatest::LoadMediaLibraries(); }
    TFormatConverter converter;
};

TEST_F(FormatConverterTest, PictureInTheBitmapLayoutIsWrappedWithoutCopying) {
    TOwnedPicture picture(AV_PIX_FMT_BGR24, 640, 480);
    ASSERT_EQ(picture.Picture.linesize[0], 1920);
    picture.Fill3(10, 20, 30);
    ASSERT_TRUE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_BGR24, false, 480, 640));
    EXPECT_FALSE(converter.CurrentIsConverted());
    EXPECT_EQ(converter.CurrentPicture()->data[0], picture.Picture.data[0]);

    const TBitmapDescription& description = converter.BitmapDescription();
    EXPECT_EQ(description.Type, 0);
    EXPECT_EQ(description.Width, 640);
    EXPECT_EQ(description.Height, 480);
    EXPECT_EQ(description.WidthBytes, 1920);
    EXPECT_EQ(description.Planes, 1);
    EXPECT_EQ(description.BitsPixel, 24);
    EXPECT_EQ(description.Bits, picture.Picture.data[0]);

    EXPECT_EQ(converter.Bitmap().Width(), 640);
    EXPECT_EQ(converter.Bitmap().Height(), 480);
    EXPECT_EQ(converter.Bitmap().Pixel(5, 5), RGBColor(0, 0, 0));  // not copied yet
    converter.CopyToBitmap();
    EXPECT_EQ(converter.Bitmap().Pixel(5, 5), RGBColor(30, 20, 10));
}

TEST_F(FormatConverterTest, OtherLayoutsAreConvertedIntoTheOwnBuffer) {
    struct TCase {
        AVPixelFormat Format;
        int Width, Height, Align;
    };
    const TCase cases[] = {
        {AV_PIX_FMT_BGR24, 641, 480, 1},   // odd width
        {AV_PIX_FMT_BGR24, 640, 481, 1},   // odd height
        {AV_PIX_FMT_BGR24, 650, 480, 64},  // rows longer than the bitmap's
        {AV_PIX_FMT_RGB24, 640, 480, 1},   // other pixel format
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " align " << c.Align);
        TOwnedPicture picture(c.Format, c.Width, c.Height, c.Align);
        picture.Fill3(10, 20, 30);
        ASSERT_TRUE(converter.ToBitmap(picture.Picture, c.Format, true, c.Height, c.Width));
        EXPECT_TRUE(converter.CurrentIsConverted());
        EXPECT_NE(converter.CurrentPicture()->data[0], picture.Picture.data[0]);
        const TColor expected =
            c.Format == AV_PIX_FMT_BGR24 ? RGBColor(30, 20, 10) : RGBColor(10, 20, 30);
        EXPECT_EQ(converter.Bitmap().Pixel(0, 0), expected);
        EXPECT_EQ(converter.Bitmap().Pixel(c.Width - 1, c.Height - 1), expected);
    }
}

TEST_F(FormatConverterTest, EveryDepthShowsTheRightColours) {
    for (int depth : {8, 15, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        TFormatConverter converter;
        converter.SetBitsPixel(depth);
        TOwnedPicture picture(AV_PIX_FMT_RGB24, 16, 8);
        picture.Fill3(255, 0, 0);
        ASSERT_TRUE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_RGB24, true, 8, 16));
        EXPECT_EQ(converter.BitmapDescription().BitsPixel, depth == 15 ? 16 : depth);
        EXPECT_EQ(converter.Bitmap().Pixel(3, 3), RGBColor(255, 0, 0));
        picture.Fill3(0, 0, 255);
        ASSERT_TRUE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_RGB24, true, 8, 16));
        EXPECT_EQ(converter.Bitmap().Pixel(3, 3), RGBColor(0, 0, 255));
    }
}

// Bitmap -> picture -> bitmap for every depth. The odd size makes both converters go through
// their own buffers, whose packed rows are shorter than the bitmap's padded ones.
TEST_F(FormatConverterTest, RoundTripThroughAPictureKeepsTheBitmap) {
    const TColor colours[] = {RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255),
                              RGBColor(255, 255, 255), RGBColor(0, 0, 0), RGBColor(255, 255, 0)};
    constexpr int width = 13, height = 7;
    for (int depth : {8, 15, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        TFormatConverter out, back;
        out.SetBitsPixel(depth);
        back.SetBitsPixel(depth);
        const AVPixelFormat format = out.BitmapPixelFormat();
        TOwnedPicture seed(format, width, height);
        ASSERT_TRUE(out.ToBitmap(seed.Picture, format, true, height, width));
        ASSERT_TRUE(out.CurrentIsConverted());
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) out.Bitmap().SetPixel(x, y, colours[(x + y) % 6]);
        }
        out.CopyFromBitmap();
        TOwnedPicture picture(format, width, height);
        ASSERT_TRUE(out.FromBitmap(picture.Picture, format, height, width));
        ASSERT_TRUE(back.ToBitmap(picture.Picture, format, true, height, width));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                ASSERT_EQ(back.Bitmap().Pixel(x, y), colours[(x + y) % 6]) << x << "," << y;
            }
        }
    }
}

TEST_F(FormatConverterTest, ChangedBitmapReachesTheCallersPicture) {
    // Wrapped: the bitmap's rows go straight back into the caller's picture.
    TOwnedPicture wrapped(AV_PIX_FMT_BGR24, 8, 4);
    ASSERT_TRUE(converter.ToBitmap(wrapped.Picture, AV_PIX_FMT_BGR24, true, 4, 8));
    converter.Bitmap().SetPixel(2, 1, RGBColor(1, 2, 3));
    converter.CopyFromBitmap();
    const uint8_t* pixel = wrapped.Picture.data[0] + wrapped.Picture.linesize[0] + 2 * 3;
    EXPECT_EQ(pixel[0], 3);
    EXPECT_EQ(pixel[2], 1);

    // Converted: FromBitmap writes the converted picture back in the caller's format.
    TOwnedPicture yuv(AV_PIX_FMT_YUV420P, 16, 16);
    std::fill(yuv.Bytes.begin(), yuv.Bytes.end(), 128);
    ASSERT_TRUE(converter.ToBitmap(yuv.Picture, AV_PIX_FMT_YUV420P, true, 16, 16));
    ASSERT_TRUE(converter.CurrentIsConverted());
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) converter.Bitmap().SetPixel(x, y, clWhite);
    }
    converter.CopyFromBitmap();
    ASSERT_TRUE(converter.FromBitmap(yuv.Picture, AV_PIX_FMT_YUV420P, 16, 16));
    EXPECT_GE(yuv.Picture.data[0][8 * yuv.Picture.linesize[0] + 8], 230);  // white luma
}

TEST_F(FormatConverterTest, BitsPixelAcceptsOnlyTheFiveDepths) {
    EXPECT_EQ(converter.BitsPixel(), 24);
    EXPECT_EQ(converter.Bitmap().PixelFormat(), pf24bit);
    TOwnedPicture picture(AV_PIX_FMT_BGR24, 4, 4);
    ASSERT_TRUE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_BGR24, false, 4, 4));

    converter.SetBitsPixel(24);  // the current depth: nothing changes
    EXPECT_NE(converter.CurrentPicture(), nullptr);

    try {
        converter.SetBitsPixel(12);
        FAIL() << "12 accepted";
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "Invalid BitsPixel 12");
    }
    EXPECT_EQ(converter.BitsPixel(), 24);

    converter.SetBitsPixel(16);
    EXPECT_EQ(converter.Bitmap().PixelFormat(), pf16bit);
    EXPECT_EQ(converter.BitmapPixelFormat(), AV_PIX_FMT_RGB565LE);
    EXPECT_EQ(converter.CurrentPicture(), nullptr);
    EXPECT_THROW(converter.CopyToBitmap(), Exception);
    EXPECT_THROW(converter.CopyFromBitmap(), Exception);
}

TEST_F(FormatConverterTest, ScalerFailuresAreReportedInLastError) {
    TOwnedPicture picture(AV_PIX_FMT_BGR24, 4, 4);
    EXPECT_FALSE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_NONE, true, 4, 4));
    EXPECT_EQ(converter.LastError(), "Cannot initialize the toRGB conversion context");
    EXPECT_EQ(converter.CurrentPicture(), nullptr);

    ASSERT_TRUE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_BGR24, true, 4, 4));
    EXPECT_FALSE(converter.FromBitmap(picture.Picture, AV_PIX_FMT_NONE, 4, 4));
    EXPECT_EQ(converter.LastError(), "Cannot initialize the fromRGB conversion context");

    EXPECT_FALSE(converter.ToBitmap(picture.Picture, AV_PIX_FMT_BGR24, true, 0, 4));
    EXPECT_EQ(converter.CurrentPicture(), nullptr);
}

}  // namespace
