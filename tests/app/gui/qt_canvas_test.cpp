// The Qt canvas the preview window's painter draws on, held against the bitmap canvas, and the
// system clipboard as the picture code uses it.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "app/widgets/QtCanvas.h"
#include "app/widgets/QtClipboard.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kGreen = RGBColor(0, 255, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

TColor PixelOf(const QImage& image, int x, int y) {
    const QRgb rgb = image.pixel(x, y);
    return RGBColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

TBitmap Solid(int width, int height, TColor colour) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, colour);
    return bitmap;
}

class QtCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::Application(); }
};

TEST_F(QtCanvasTest, DrawsScaledFillsAndCopies) {
    TQtCanvas canvas(QSize(8, 4));
    int changes = 0;
    canvas.OnChanged = [&] { ++changes; };
    EXPECT_EQ(PixelOf(canvas.Picture(), 7, 3), clBlack);

    // A 2 x 1 picture, red then blue, stretched over the left half.
    TBitmap picture(2, 1, pf24bit);
    picture.SetPixel(0, 0, kRed);
    picture.SetPixel(1, 0, kBlue);
    canvas.Draw({0, 0, 4, 4}, picture, {0, 0, 2, 1});
    EXPECT_EQ(PixelOf(canvas.Picture(), 0, 0), kRed);
    EXPECT_EQ(PixelOf(canvas.Picture(), 1, 3), kRed);
    EXPECT_EQ(PixelOf(canvas.Picture(), 2, 0), kBlue);
    EXPECT_EQ(PixelOf(canvas.Picture(), 3, 3), kBlue);
    EXPECT_EQ(PixelOf(canvas.Picture(), 4, 0), clBlack);

    canvas.FillRect({6, 0, 8, 2}, kGreen);
    EXPECT_EQ(PixelOf(canvas.Picture(), 7, 1), kGreen);
    EXPECT_EQ(PixelOf(canvas.Picture(), 7, 2), clBlack);
    EXPECT_EQ(changes, 2);

    // A copy reaching past the edge is black there.
    const TBitmap copy = canvas.CopyRect({3, 1, 10, 2});
    ASSERT_EQ(copy.Width(), 7);
    ASSERT_EQ(copy.Height(), 1);
    EXPECT_EQ(copy.PixelFormat(), pf24bit);
    EXPECT_EQ(copy.Pixel(0, 0), kBlue);
    EXPECT_EQ(copy.Pixel(1, 0), clBlack);
    EXPECT_EQ(copy.Pixel(4, 0), kGreen);
    EXPECT_EQ(copy.Pixel(5, 0), clBlack);

    // Gone: nothing more is painted.
    canvas.Invalidate();
    EXPECT_FALSE(canvas.Valid());
    canvas.FillRect({0, 0, 8, 4}, kGreen);
    EXPECT_EQ(PixelOf(canvas.Picture(), 0, 0), kRed);
    EXPECT_EQ(changes, 2);
}

TEST_F(QtCanvasTest, MaskedPixelsOfATransparentBitmapKeepWhatIsThere) {
    TQtCanvas canvas(QSize(2, 1));
    canvas.FillRect({0, 0, 2, 1}, kGreen);
    TBitmap picture(2, 1, pf24bit);
    picture.SetPixel(0, 0, kRed);
    picture.SetPixel(1, 0, kBlue);
    picture.SetTransparent(true);
    picture.SetMask({false, true});
    canvas.Draw({0, 0, 2, 1}, picture, {0, 0, 2, 1});
    EXPECT_EQ(PixelOf(canvas.Picture(), 0, 0), kRed);
    EXPECT_EQ(PixelOf(canvas.Picture(), 1, 0), kGreen);
}

// A document of two frames: a 4 x 4 red frame, then a 2 x 2 blue frame at 1,1 whose left
// column is transparent.
void MakeTwoFrames(TGIFImage& image) {
    TBitmap red = Solid(4, 4, kRed);
    image.Add(red);
    TBitmap blue = Solid(2, 2, kBlue);
    blue.SetPixel(0, 0, kGreen);
    blue.SetPixel(0, 1, kGreen);
    const int index = image.Add(blue);
    TGIFSubImage& frame = image.Images()[index];
    frame.SetLeft(1);
    frame.SetTop(1);
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetTransparent(true);
    control->SetTransparentColorIndex(frame.Pixels(0, 0));
    frame.Extensions().Add(std::move(control));
}

TEST_F(QtCanvasTest, DocumentPaintsAsOnTheBitmapCanvas) {
    TGIFImage image;
    MakeTwoFrames(image);
    image.SetForcedFrame(1);
    TQtCanvas canvas(QSize(8, 8));
    TBitmap target(8, 8, pf24bit);
    TBitmapCanvas reference(target);
    for (TCanvas* on : {static_cast<TCanvas*>(&canvas), static_cast<TCanvas*>(&reference)}) {
        on->FillRect({0, 0, 8, 8}, kGreen);
        image.SetPaintOptions(image.PaintOptions() & ~poAnimate);
        image.Draw(*on, {0, 0, 8, 8});
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(PixelOf(canvas.Picture(), x, y), target.Pixel(x, y)) << x << "," << y;
    EXPECT_EQ(target.Pixel(2, 2), kRed);   // the blue frame's transparent column
    EXPECT_EQ(target.Pixel(4, 4), kBlue);  // stretched twice
}

TEST_F(QtCanvasTest, ClipboardKeepsTheBitmapAndTheGifStream) {
    guitest::Application();
    EXPECT_EQ(TQtClipboard::MimeTypeOf(kGIFClipboardFormat), "image/gif");
    EXPECT_EQ(TQtClipboard::MimeTypeOf("Rich Text"), "application/x-clipgif-rich-text");

    TGIFImage image;
    MakeTwoFrames(image);
    TQtClipboard clipboard;
    image.SaveToClipboard(clipboard);
    EXPECT_TRUE(clipboard.HasBitmap());
    EXPECT_TRUE(clipboard.HasFormat(kGIFClipboardFormat));
    EXPECT_FALSE(clipboard.HasFormat("Rich Text"));
    const TBitmap picture = clipboard.Bitmap();
    ASSERT_EQ(picture.Width(), 4);
    EXPECT_EQ(picture.Pixel(0, 0), kRed);
    // Another program sees the GIF as image/gif.
    const QByteArray gif = QGuiApplication::clipboard()->mimeData()->data("image/gif");
    EXPECT_TRUE(gif.startsWith("GIF89a"));
    EXPECT_EQ(clipboard.Data(kGIFClipboardFormat).size(), static_cast<size_t>(gif.size()));

    TGIFImage pasted;
    pasted.LoadFromClipboard(clipboard);
    ASSERT_EQ(pasted.Images().Count(), 2);
    EXPECT_EQ(pasted.Images()[1].Left(), 1);

    // A plain picture put there by another program becomes one frame.
    QImage other(3, 2, QImage::Format_RGB32);
    other.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(other);
    EXPECT_FALSE(clipboard.HasFormat(kGIFClipboardFormat));
    TGIFImage fromPicture;
    fromPicture.LoadFromClipboard(clipboard);
    ASSERT_EQ(fromPicture.Images().Count(), 1);
    EXPECT_EQ(fromPicture.Width(), 3);

    QGuiApplication::clipboard()->setText(QStringLiteral("words"));
    EXPECT_EQ(testsupport::ErrorOf([&] { fromPicture.LoadFromClipboard(clipboard); }),
              "Unsupported clipboard format");
}

}  // namespace
