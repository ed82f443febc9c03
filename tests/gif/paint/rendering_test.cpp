// Frame bitmaps, the document's picture and palette, the clipboard, and the settings that
// render on load and optimise before saving.
#include <gtest/gtest.h>

#include "gif/model/GIFDefaults.h"
#include "gif/model/GIFImage.h"
#include "platform/Clipboard.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/DocumentTestSupport.h"

using namespace animation;
using gifdoc::ErrorOf;

namespace {

const std::vector<TGIFColor> kColors = {{0, 0, 0}, {250, 10, 10}, {10, 250, 10}, {10, 10, 250}};

// Two frames: a red square, then a green pixel over it with a transparent rest.
void MakeTwoFrames(TGIFImage& document) {
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 2, 2, {1, 1, 1, 1}, 10});
    AddFrame(document, {0, 0, 2, 2, {2, 0, 0, 0}, 10, dmNone, 0});
}

// Sets a process-wide default for one test.
class TDefaultSetting {
public:
    TDefaultSetting(bool TGIFDefaults::*setting, bool value)
        : setting_(setting), saved_(GIFDefaults().*setting) {
        GIFDefaults().*setting = value;
    }
    ~TDefaultSetting() { GIFDefaults().*setting_ = saved_; }

private:
    bool TGIFDefaults::*setting_;
    bool saved_;
};

}  // namespace

TEST(Rendering, FrameBitmapsCarryTheColorsAndTheTransparencyMask) {
    TGIFImage document;
    MakeTwoFrames(document);
    std::vector<std::string> progress;
    document.OnProgress = [&](TGIFObject*, TProgressStage, int, bool, const TRect&,
                              const std::string& message) { progress.push_back(message); };
    TGIFSubImage& frame = document.Images()[1];
    const TBitmap& bitmap = frame.Bitmap();
    EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
    EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(10, 250, 10));
    EXPECT_TRUE(bitmap.Transparent());
    EXPECT_FALSE(bitmap.MaskBit(0, 0));
    EXPECT_TRUE(bitmap.MaskBit(1, 1));
    EXPECT_EQ(progress.front(), "Rendering...");

    frame.SetPixels(1, 1, 3);
    EXPECT_FALSE(frame.HasBitmap()) << "new pixels, new bitmap";
    EXPECT_EQ(frame.Bitmap().Pixel(1, 1), RGBColor(10, 10, 250));
    frame.GraphicControlExtension()->SetTransparent(false);
    EXPECT_FALSE(frame.Bitmap().Transparent());

    document.SetPaintOptions(poDither);
    const TBitmap& dithered = frame.Bitmap();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const TColor color = dithered.Pixel(x, y);
            EXPECT_EQ(GetRValue(color) % 51 + GetGValue(color) % 51 + GetBValue(color) % 51, 0)
                << "web colour cube";
        }
}

TEST(Rendering, DocumentPictureAndPalette) {
    TGIFImage document;
    EXPECT_TRUE(document.Palette().empty());
    EXPECT_EQ(ErrorOf([&] {
                  document.SetPalette({{1, 2, 3, 0}});
              }),
              "No global or local color table defined");

    MakeTwoFrames(document);
    document.SetForcedFrame(1);
    const TBitmap& picture = document.Bitmap();
    EXPECT_EQ(picture.Pixel(0, 0), RGBColor(10, 250, 10));
    EXPECT_EQ(picture.Pixel(1, 1), RGBColor(250, 10, 10)) << "frame 0 shows through frame 1";

    ASSERT_EQ(document.Palette().size(), 4u);
    EXPECT_EQ(document.Palette()[1].peRed, 250);
    TPalette palette = document.Palette();
    palette[1] = {1, 2, 3, 0};
    document.SetPalette(palette);
    EXPECT_TRUE(document.PaletteModified());
    EXPECT_EQ(document.Header().ColorMap().Colors(1), (TGIFColor{1, 2, 3}));
    EXPECT_EQ(document.Bitmap().Pixel(1, 1), RGBColor(1, 2, 3)) << "the picture follows";

    // Without a global table the first frame's own table stands for the document.
    TGIFImage local;
    AddFrame(local, {0, 0, 1, 1, {0}, -1, dmNone, -1, {{7, 8, 9}}});
    EXPECT_EQ(local.Palette()[0].peBlue, 9);
    local.SetPalette({{4, 5, 6, 0}});
    EXPECT_EQ(local.Images()[0].ColorMap().Colors(0), (TGIFColor{4, 5, 6}));
}

TEST(Rendering, ClipboardHoldsThePictureAndTheStream) {
    TGIFImage document;
    MakeTwoFrames(document);
    TMemoryClipboard clipboard;
    document.SaveToClipboard(clipboard);
    ASSERT_TRUE(clipboard.HasBitmap());
    EXPECT_EQ(clipboard.Bitmap().Pixel(0, 0), RGBColor(250, 10, 10));
    EXPECT_EQ(clipboard.Data(kGIFClipboardFormat), gifdoc::Save(document));

    TGIFImage pasted;
    pasted.LoadFromClipboard(clipboard);
    EXPECT_EQ(pasted.Images().Count(), 2);
    EXPECT_TRUE(ShownPictures(pasted).pictures == ShownPictures(document).pictures);

    clipboard.SetBitmap(gifdoc::Solid(3, 2, 9, 9, 9));
    pasted.LoadFromClipboard(clipboard);
    ASSERT_EQ(pasted.Images().Count(), 1) << "a plain bitmap becomes one frame";
    EXPECT_EQ(pasted.Width(), 3);

    clipboard.SetData("text/plain", {'h', 'i'});
    EXPECT_EQ(ErrorOf([&] { pasted.LoadFromClipboard(clipboard); }),
              "Unsupported clipboard format");
    clipboard.SetLocked(true);
    EXPECT_EQ(ErrorOf([&] { document.SaveToClipboard(clipboard); }),
              "Failed to store GIF on clipboard");
}

TEST(Rendering, BuildBitmapsOnLoadRendersEveryFrame) {
    TGIFImage source;
    MakeTwoFrames(source);
    const std::vector<uint8_t> bytes = gifdoc::Save(source);
    TGIFImage plain;
    gifdoc::Load(plain, bytes);
    EXPECT_FALSE(plain.Images()[0].HasBitmap());

    TDefaultSetting build(&TGIFDefaults::BuildBitmapsOnLoad, true);
    TGIFImage rendered;
    gifdoc::Load(rendered, bytes);
    EXPECT_TRUE(rendered.Images()[0].HasBitmap());
    EXPECT_TRUE(rendered.Images()[1].Bitmap().Transparent());
}

TEST(Rendering, OptimizeBeforeStreamingSavesTheOptimisedDocument) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> pixels(64 * 64, 1);
        pixels[static_cast<size_t>(i)] = 2;
        AddFrame(document, {0, 0, 64, 64, pixels, 10});
    }
    const std::vector<uint8_t> plain = gifdoc::Save(document);
    const TShownPictures before = ShownPictures(document);

    TDefaultSetting optimize(&TGIFDefaults::OptimizeBeforeStreaming, true);
    std::vector<std::string> messages;
    document.OnProgress = [&](TGIFObject*, TProgressStage, int, bool, const TRect&,
                              const std::string& message) { messages.push_back(message); };
    const std::vector<uint8_t> optimised = gifdoc::Save(document);
    EXPECT_EQ(messages.front(), "Optimizing...");
    EXPECT_EQ(messages.back(), "Saving...");
    EXPECT_LT(optimised.size(), plain.size());
    TGIFImage back;
    gifdoc::Load(back, optimised);
    EXPECT_EQ(ShownPictures(back).At(25), before.At(25));
    EXPECT_EQ(ShownPictures(back).Duration(), before.Duration());
}
