// The bitmap canvas that tests and tools paint on.
#include <gtest/gtest.h>

#include "platform/Canvas.h"

TEST(BitmapCanvas, DrawsScaledPartsAndLeavesMaskedPixels) {
    TBitmap target(4, 4, pf24bit);
    TBitmapCanvas canvas(target);
    canvas.FillRect({0, 0, 4, 4}, clWhite);

    TBitmap picture(2, 1, pf8bit);
    picture.SetPalette({{255, 0, 0, 0}, {0, 0, 255, 0}});
    picture.ScanLine(0)[0] = 0;
    picture.ScanLine(0)[1] = 1;
    picture.SetMask({false, true});
    picture.SetTransparent(true);
    canvas.Draw({0, 0, 4, 2}, picture, {0, 0, 2, 1});
    EXPECT_EQ(target.Pixel(1, 1), RGBColor(255, 0, 0));
    EXPECT_EQ(target.Pixel(2, 0), clWhite) << "masked";

    picture.SetTransparent(false);
    canvas.Draw({2, 2, 6, 6}, picture, {1, 0, 2, 1});  // the blue half, cut at the edge
    EXPECT_EQ(target.Pixel(3, 3), RGBColor(0, 0, 255));
    EXPECT_EQ(target.Pixel(1, 3), clWhite);

    const TBitmap copy = canvas.CopyRect({3, 3, 5, 5});
    EXPECT_EQ(copy.Pixel(0, 0), RGBColor(0, 0, 255));
    EXPECT_EQ(copy.Pixel(1, 1), clBlack) << "outside the surface";

    canvas.Invalidate();
    canvas.FillRect({0, 0, 4, 4}, clBlack);
    EXPECT_EQ(target.Pixel(0, 3), clWhite) << "an invalid canvas paints nothing";
}

TEST(BitmapCanvas, RectangleHelpers) {
    EXPECT_EQ(IntersectRect({0, 0, 4, 4}, {2, 2, 6, 6}), (TRect{2, 2, 4, 4}));
    EXPECT_TRUE(IntersectRect({0, 0, 2, 2}, {2, 0, 4, 2}).Empty());
}
