// Turning a bitmap upright: every quarter turn and flip moves each pixel where the picture
// turned that way has it.
#include "engine/frames/BitmapTurn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A 3 x 2 picture of the letters A to F, one letter a pixel (in the red byte):
//   A B C
//   D E F
TBitmap Letters(TPixelFormat format = pf24bit) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(format);
    if (format == pf8bit) {
        TPalette palette(256);
        for (int i = 0; i < 256; ++i) palette[i].peRed = static_cast<uint8_t>(i);
        bitmap.SetPalette(palette);
    }
    bitmap.SetSize(3, 2);
    const char* letters = "ABCDEF";
    for (int i = 0; i < 6; ++i) bitmap.SetPixel(i % 3, i / 3, RGBColor(letters[i], 0, 0));
    return bitmap;
}

// The rows of a bitmap of letters, "/" between rows.
std::string Rows(const TBitmap& bitmap) {
    std::string text;
    for (int y = 0; y < bitmap.Height(); ++y) {
        if (y > 0) text += '/';
        for (int x = 0; x < bitmap.Width(); ++x)
            text += static_cast<char>(GetRValue(bitmap.Pixel(x, y)));
    }
    return text;
}

TPictureTurn Transposed(int direction) {
    TPictureTurn turn;
    turn.Transpose = direction;
    return turn;
}

TPictureTurn Flipped(bool h, bool v) {
    TPictureTurn turn;
    turn.HFlip = h;
    turn.VFlip = v;
    return turn;
}

TEST(BitmapTurn, QuarterTurnsAndFlips) {
    struct TCase {
        TPictureTurn Turn;
        const char* Rows;
    };
    const TCase cases[] = {
        {TPictureTurn(), "ABC/DEF"},
        {Transposed(TPictureTurn::tpClock), "DA/EB/FC"},
        {Transposed(TPictureTurn::tpCClock), "CF/BE/AD"},
        {Transposed(TPictureTurn::tpCClockFlip), "AD/BE/CF"},
        {Transposed(TPictureTurn::tpClockFlip), "FC/EB/DA"},
        {Flipped(true, false), "CBA/FED"},
        {Flipped(false, true), "DEF/ABC"},
        {Flipped(true, true), "FED/CBA"},
    };
    for (const TCase& c : cases) {
        for (TPixelFormat format : {pf24bit, pf32bit, pf8bit}) {
            TBitmap out;
            TurnBitmap(Letters(format), c.Turn, out);
            EXPECT_EQ(Rows(out), c.Rows) << c.Rows << " " << format;
            EXPECT_EQ(out.PixelFormat(), format);
        }
    }
}

// A turn by no quarter turn is the conversion's to make: the picture stays as it is.
TEST(BitmapTurn, OddAnglesLeaveThePicture) {
    TPictureTurn turn;
    turn.Angle = 30;
    TBitmap out;
    TurnBitmap(Letters(), turn, out);
    EXPECT_EQ(Rows(out), "ABC/DEF");
}

TEST(PictureTurn, RotateTagsAndShownSizes) {
    EXPECT_EQ(TurnOfRotateTag(90).Transpose, TPictureTurn::tpClock);
    EXPECT_EQ(TurnOfRotateTag(-90).Transpose, TPictureTurn::tpCClock);
    EXPECT_EQ(TurnOfRotateTag(450).Transpose, TPictureTurn::tpClock);
    EXPECT_TRUE(TurnOfRotateTag(180).HFlip && TurnOfRotateTag(180).VFlip);
    EXPECT_TRUE(TurnOfRotateTag(360.5).None());
    EXPECT_DOUBLE_EQ(TurnOfRotateTag(30).Angle, 30);
    EXPECT_EQ(TurnText(TurnOfRotateTag(30)), "rotated 30 degrees clockwise");
    EXPECT_EQ(TurnText(TPictureTurn()), "");

    const TPictureTurn none;
    const TPictureTurn clock = TurnOfRotateTag(90);
    auto shown = [](int w, int h, AVRational sar, const TPictureTurn& turn) {
        const TShownSize size = ShownSizeOf(w, h, sar, turn);
        return std::to_string(size.Width) + "x" + std::to_string(size.Height);
    };
    EXPECT_EQ(shown(720, 576, {64, 45}, none), "1024x576");
    EXPECT_EQ(shown(720, 576, {64, 45}, clock), "576x1024");
    EXPECT_EQ(shown(720, 480, {8, 9}, none), "720x540");
    EXPECT_EQ(shown(640, 360, {0, 1}, clock), "360x640");
    EXPECT_EQ(shown(157, 117, {156, 157}, none), "157x117");  // a scaler's rounding
    EXPECT_EQ(shown(640, 360, {1, 1}, TurnOfRotateTag(30)), "640x360");
    // Sides stay within what a GIF holds; a picture without area has none.
    EXPECT_EQ(shown(60000, 10, {100, 1}, none), "65535x10");
    EXPECT_EQ(shown(0, 10, {1, 1}, none), "0x0");
}

}  // namespace
