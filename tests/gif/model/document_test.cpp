// The GIF document model: colour tables, frames made from bitmaps, bounds and diagnostics.
#include <gtest/gtest.h>

#include "gif/core/GIFException.h"
#include "gif/model/ColorTableOptimizer.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "tests/gif/DocumentTestSupport.h"

using namespace gifdoc;

namespace {

void UseApplicationSettings(TGIFImage& document) { document.SetReductionMode(prOctreePlusSystem); }

}  // namespace

TEST(ColorMap, CapacityBitsAndAddRules) {
    TGIFColorMap map;
    EXPECT_EQ(map.BitsPerPixel(), 0);
    EXPECT_EQ(map.Add({1, 2, 3}), 0);
    EXPECT_EQ(map.Capacity(), 16);
    EXPECT_EQ(map.BitsPerPixel(), 1);
    map.Add({4, 5, 6});
    EXPECT_EQ(map.BitsPerPixel(), 1);
    map.Add({7, 8, 9});
    EXPECT_EQ(map.BitsPerPixel(), 2);
    for (int i = map.Count(); i < 17; ++i) map.Add({static_cast<uint8_t>(i), 0, 0});
    EXPECT_EQ(map.Capacity(), 32);
    for (int i = map.Count(); i < 33; ++i) map.Add({static_cast<uint8_t>(i), 0, 0});
    EXPECT_EQ(map.Capacity(), 64);
    EXPECT_EQ(map.AddUnique({4, 5, 6}), 1);
    EXPECT_EQ(map.AddUnique({200, 200, 200}), 33);
    for (int i = map.Count(); i < 256; ++i) map.Add({static_cast<uint8_t>(i), 1, 1});
    EXPECT_EQ(map.Capacity(), 256);
    EXPECT_EQ(map.BitsPerPixel(), 8);
    EXPECT_EQ(ErrorOf([&] { map.Add({0, 0, 0}); }), "Color table overflow");
}

TEST(ColorMap, SearchOrderFollowsSortedFlag) {
    TGIFColorMap map;
    map.Add({9, 9, 9});
    map.Add({1, 1, 1});
    map.Add({9, 9, 9});
    EXPECT_EQ(map.IndexOf({9, 9, 9}), 2);
    map.MarkSorted();
    EXPECT_EQ(map.IndexOf({9, 9, 9}), 0);
    map.SetColors(1, {2, 2, 2});
    EXPECT_FALSE(map.Sorted());
}

TEST(ColorMap, InvalidIndicesWarnOrFail) {
    TGIFImage document;
    std::vector<std::string> warnings;
    CollectWarnings(document, warnings);
    TGIFColorMap& map = document.Header().ColorMap();
    EXPECT_EQ(ErrorOf([&] { map.Colors(0); }), "Color table is empty");
    map.Add({10, 20, 30});
    map.Add({40, 50, 60});
    EXPECT_EQ(map.Colors(5), (TGIFColor{10, 20, 30}));
    EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
    EXPECT_EQ(ErrorOf([&] { map.Delete(2); }), "Invalid color index");
    map.Delete(0);
    EXPECT_EQ(map.Colors(0), (TGIFColor{40, 50, 60}));
}

TEST(ColorMap, ImportsAndExportsPalettes) {
    TGIFColorMap map;
    const uint8_t quads[] = {1, 2, 3, 0, 4, 5, 6, 0};
    map.ImportDIBColors(quads, 2);
    EXPECT_EQ(map.Colors(1), (TGIFColor{6, 5, 4}));
    TPalette big(300, TPaletteEntry{7, 8, 9, 0});
    map.ImportPalette(big);
    EXPECT_EQ(map.Count(), 256);
    const TPalette exported = map.ExportPalette();
    ASSERT_EQ(exported.size(), 256u);
    EXPECT_EQ(exported[3].peBlue, 9);
    EXPECT_NE(exported[3].peFlags, 0);
}

TEST(Document, StartsEmptyWithDefaults) {
    TGIFImage document;
    document.Clear();
    EXPECT_TRUE(document.Empty());
    EXPECT_EQ(document.Width(), 0);
    EXPECT_EQ(document.Height(), 0);
    EXPECT_EQ(document.Header().ColorMap().Count(), 0);
    EXPECT_EQ(document.ReductionMode(), prWebCube216);
    EXPECT_EQ(document.QuantizeBits(), 8);
    EXPECT_EQ(document.DiffusionMode(), edNearest);
    EXPECT_EQ(document.Encoding(), geLZW);
    EXPECT_EQ(document.PaintOptions(), 0x068F);
    EXPECT_EQ(document.PlaybackSpeed(), 100);
    EXPECT_EQ(document.ForcedFrame(), -1);
    EXPECT_EQ(document.BackdropColor(), clNone);
}

TEST(Document, ClearKeepsSettingsAndDropsFrames) {
    TGIFImage document;
    UseApplicationSettings(document);
    TBitmap picture = Gradient(16, 8);
    document.Add(picture);
    document.Clear();
    EXPECT_TRUE(document.Empty());
    EXPECT_EQ(document.Width(), 0);
    EXPECT_EQ(document.ReductionMode(), prOctreePlusSystem);
}

TEST(Document, BoundsGrowTheScreenWithWarnings) {
    TGIFImage document;
    UseApplicationSettings(document);
    std::vector<std::string> warnings;
    CollectWarnings(document, warnings);
    TBitmap first = Gradient(320, 240);
    EXPECT_EQ(document.Add(first), 0);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(document.Width(), 320);
    EXPECT_EQ(document.Height(), 240);
    TBitmap wider = Gradient(400, 240);
    EXPECT_EQ(document.Add(wider), 1);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Image width too small for contained frames",
                                                  "Image exceeds Logical Screen size"}));
    EXPECT_EQ(document.Width(), 400);
    EXPECT_EQ(document.Images()[1].Left(), 0);
    EXPECT_EQ(document.Images()[1].Top(), 0);

    warnings.clear();
    document.Images()[0].SetBounds(10, 20, 320, 240);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Image height too small for contained frames",
                                                  "Image exceeds Logical Screen size"}));
    EXPECT_EQ(document.Height(), 260);
}

TEST(Document, SizesBeyondSixteenBitsAreRefused) {
    TGIFImage document;
    document.SetReductionMode(prBlackWhite);
    TBitmap tooWide(70000, 1, pf24bit);
    EXPECT_EQ(ErrorOf([&] { document.Add(tooWide); }), "Invalid image dimensions");
    EXPECT_TRUE(document.Empty());
    EXPECT_EQ(document.Width(), 0);
    TBitmap picture = Gradient(4, 4);
    document.Add(picture);
    EXPECT_EQ(ErrorOf([&] { document.Images()[0].SetLeft(65533); }), "Invalid image dimensions");
    EXPECT_EQ(ErrorOf([&] { document.SetWidth(65536); }), "Invalid image dimensions");
}

TEST(Document, ScreenSizeSettersCheckFrames) {
    TGIFImage document;
    UseApplicationSettings(document);
    TBitmap picture = Gradient(30, 20);
    document.Add(picture);
    EXPECT_EQ(ErrorOf([&] { document.SetWidth(29); }),
              "Image width too small for contained frames");
    EXPECT_EQ(ErrorOf([&] { document.SetHeight(19); }),
              "Image height too small for contained frames");
    int changes = 0;
    document.OnChange = [&](TGIFObject*) { ++changes; };
    document.SetWidth(30);
    EXPECT_EQ(changes, 0);
    document.SetWidth(50);
    document.SetHeight(40);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(document.Width(), 50);
    EXPECT_EQ(document.Height(), 40);
}

TEST(Document, ResizingAFrameReplacesItsPixels) {
    TGIFImage document;
    UseApplicationSettings(document);
    TBitmap picture = Gradient(8, 8);
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    frame.SetLeft(0);
    EXPECT_EQ(frame.DataSize(), 64u);
    frame.SetWidth(4);
    EXPECT_EQ(frame.DataSize(), 32u);
    EXPECT_EQ(frame.Pixels(3, 7), 0);
    EXPECT_EQ(ErrorOf([&] { frame.Pixels(4, 0); }), "Invalid pixel coordinates");
    frame.SetHeight(0);
    EXPECT_TRUE(frame.Empty());
    EXPECT_EQ(ErrorOf([&] { frame.Pixels(0, 0); }), "Image is empty");
}

TEST(Document, ApplicationFramesHave256ColoursAndNoExtensions) {
    TGIFImage document;
    UseApplicationSettings(document);
    TBitmap picture = Gradient(40, 30);
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    EXPECT_EQ(frame.ColorMap().Count(), 256);
    EXPECT_EQ(frame.Extensions().Count(), 0);
    EXPECT_EQ(frame.DataSize(), 40u * 30u);
    EXPECT_EQ(document.Version(), 1);
}

TEST(Document, EmptyBitmapGivesEmptyFrame) {
    TGIFImage document;
    UseApplicationSettings(document);
    TBitmap nothing(0, 10, pf24bit);
    EXPECT_EQ(document.Add(nothing), 0);
    EXPECT_TRUE(document.Images()[0].Empty());
    EXPECT_EQ(document.Width(), 0);
}

TEST(Document, NoReductionKeepsExactColoursUpTo256) {
    TGIFImage document;
    document.SetReductionMode(prNone);
    TBitmap picture = DistinctColors(32, 8, 256);
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    ASSERT_EQ(frame.ColorMap().Count(), 256);
    EXPECT_EQ(FrameColor(frame, 5, 1), (TGIFColor{7, 0, 37}));
    EXPECT_EQ(frame.Pixels(5, 1), 37);

    TBitmap tooMany = DistinctColors(32, 9, 257);
    EXPECT_EQ(ErrorOf([&] { document.Add(tooMany); }), "Color table overflow");
    EXPECT_EQ(document.Images().Count(), 1);
}

TEST(Document, OneColourFrameHasOneEntry) {
    TGIFImage document;
    document.SetReductionMode(prNone);
    TBitmap picture = Solid(5, 5, 1, 2, 3);
    document.Add(picture);
    EXPECT_EQ(document.Images()[0].ColorMap().Count(), 1);
    EXPECT_EQ(FrameColor(document.Images()[0], 4, 4), (TGIFColor{1, 2, 3}));
}

TEST(Document, IndexedBitmapsKeepTheirIndices) {
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
        TGIFImage document;
        TBitmap picture = Indexed(13, 5, format);
        document.Add(picture);
        TGIFSubImage& frame = document.Images()[0];
        const int colors = 1 << BitsPerPixel(format);
        ASSERT_EQ(frame.ColorMap().Count(), colors) << format;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(frame.Pixels(x, y), (x + 3 * y) % colors) << format;
        EXPECT_EQ(frame.ColorMap().Colors(1), (TGIFColor{37, 254, 11}));
    }
}

TEST(Document, UnusableReductionSettingsFailTheImport) {
    TGIFImage document;
    document.SetReductionMode(prCallerPalette);
    TBitmap picture = Gradient(8, 8);
    EXPECT_EQ(ErrorOf([&] { document.Add(picture); }), "Scan line index out of range");
    EXPECT_TRUE(document.Empty());
    document.SetReductionMode(prOctree);
    document.SetDiffusionMode(static_cast<TErrorDiffusion>(7));
    EXPECT_THROW(document.Add(picture), EInvalidGraphicOperation);
    EXPECT_TRUE(document.Empty());
}

TEST(Document, AddTakesFramesAndRefusesOtherObjects) {
    TGIFImage source;
    UseApplicationSettings(source);
    TBitmap picture = Gradient(6, 4);
    source.Add(picture);
    std::unique_ptr<TGIFItem> frame = source.Images().Remove(&source.Images()[0]);

    TGIFImage document;
    EXPECT_EQ(document.Add(std::unique_ptr<TGIFObject>(std::move(frame))), 0);
    EXPECT_EQ(document.Images()[0].Image(), &document);
    EXPECT_EQ(ErrorOf([&] { document.Add(std::make_unique<TGIFHeader>(&document)); }),
              "Object type not supported for operation");
    EXPECT_EQ(ErrorOf([&] { document.Add(std::unique_ptr<TGIFObject>()); }),
              "Object type not supported for operation");
}

TEST(Document, TransparentBitmapGetsTransparentEntry) {
    TGIFImage document;
    UseApplicationSettings(document);
    TBitmap picture = Solid(10, 6, 200, 10, 10);
    for (int x = 0; x < 10; ++x) picture.SetPixel(x, 0, RGBColor(0, 0, 255));
    picture.SetTransparent(true);
    picture.SetTransparentColor(RGBColor(0, 0, 255));
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    ASSERT_TRUE(frame.Transparent());
    const int transparent = frame.GraphicControlExtension()->TransparentColorIndex();
    EXPECT_EQ(transparent, frame.ColorMap().Count() - 1);
    EXPECT_LT(frame.ColorMap().Count(), 256);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(frame.Pixels(x, 0), transparent);
    EXPECT_NE(frame.Pixels(0, 1), transparent);
    EXPECT_EQ(document.Version(), 2);
}

TEST(Document, TransparencyAppliesToAnIndexedTableAlreadyInOrder) {
    // Every pixel uses entry 0 of a 256-entry table: the order does not change, but the unused
    // entries must still go so that the transparent entry fits.
    TGIFImage document;
    TBitmap picture(4, 4, pf8bit);
    TPalette palette(256, TPaletteEntry{9, 9, 9, 0});
    palette[0] = {255, 0, 0, 0};
    picture.SetPalette(palette);
    picture.SetTransparent(true);
    std::vector<bool> mask(16, false);
    mask[5] = true;
    picture.SetMask(mask);
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    ASSERT_TRUE(frame.Transparent());
    EXPECT_EQ(frame.ColorMap().Count(), 2);
    EXPECT_EQ(frame.Pixels(1, 1), 1);
    EXPECT_EQ(frame.Pixels(0, 0), 0);
}

TEST(Document, TransparentFlagWithoutMaskedPixelsAddsNothing) {
    TGIFImage document;
    document.SetReductionMode(prNone);
    TBitmap picture = Solid(4, 4, 1, 1, 1);
    picture.SetTransparent(true);
    picture.SetTransparentColor(RGBColor(250, 250, 250));
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    EXPECT_FALSE(frame.Transparent());
    EXPECT_EQ(frame.Extensions().Count(), 0);
    EXPECT_EQ(frame.ColorMap().Count(), 1);
}

TEST(Document, ImportReportsProgress) {
    TGIFImage document;
    UseApplicationSettings(document);
    std::vector<std::pair<TProgressStage, int>> steps;
    document.OnProgress = [&](TGIFObject*, TProgressStage stage, int percent, bool, const TRect&,
                              const std::string& message) {
        EXPECT_EQ(message, "Converting...");
        steps.emplace_back(stage, percent);
    };
    TBitmap picture = Gradient(8, 70);
    document.Add(picture);
    const std::vector<std::pair<TProgressStage, int>> expected = {
        {psStarting, 0}, {psRunning, 0}, {psRunning, 45}, {psRunning, 91}, {psEnding, 100}};
    EXPECT_EQ(steps, expected);
}

TEST(Document, AssignCopiesFramesAndSettings) {
    TGIFImage source;
    UseApplicationSettings(source);
    source.SetForcedFrame(1);
    TBitmap picture = Gradient(12, 9);
    source.Add(picture);
    source.Images()[0].Extensions().Add(std::make_unique<TGIFCommentExtension>(nullptr));
    TGIFImage copy;
    std::vector<std::string> messages;
    source.OnProgress = [&](TGIFObject*, TProgressStage, int, bool, const TRect&,
                            const std::string& m) { messages.push_back(m); };
    copy.Assign(source);
    EXPECT_EQ(messages.front(), "Copying...");
    EXPECT_EQ(copy.ReductionMode(), prOctreePlusSystem);
    EXPECT_EQ(copy.ForcedFrame(), 1);
    ASSERT_EQ(copy.Images().Count(), 1);
    EXPECT_EQ(copy.Width(), 12);
    EXPECT_EQ(copy.Images()[0].Extensions().Count(), 1);
    EXPECT_EQ(copy.Images()[0].Extensions()[0].SubImage(), &copy.Images()[0]);
    EXPECT_EQ(Save(copy), Save(source));

    TBitmap other = Gradient(3, 3);
    copy.Assign(other);
    EXPECT_EQ(copy.Images().Count(), 1);
    EXPECT_EQ(copy.Width(), 3);
}

TEST(Document, RemovingTheGraphicControlClearsTransparency) {
    TGIFImage document;
    document.SetReductionMode(prNone);
    TBitmap picture = Solid(2, 2, 5, 5, 5);
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetTransparent(true);
    frame.Extensions().Add(std::move(control));
    EXPECT_TRUE(frame.Transparent());
    frame.Extensions().Delete(0);
    EXPECT_FALSE(frame.Transparent());
    EXPECT_EQ(frame.GraphicControlExtension(), nullptr);
}

TEST(ColorTableOptimizer, SortsByUseRemapsAndDropsUnused) {
    TGIFImage document;
    document.SetReductionMode(prNone);
    TBitmap picture = Solid(4, 1, 10, 10, 10);
    picture.SetPixel(1, 0, RGBColor(20, 20, 20));
    picture.SetPixel(2, 0, RGBColor(20, 20, 20));
    picture.SetPixel(3, 0, RGBColor(20, 20, 20));
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    frame.ColorMap().Add({99, 99, 99});
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetTransparentColorIndex(1);
    frame.Extensions().Add(std::move(control));

    EXPECT_TRUE(OptimizeLocalColorMap(frame));
    EXPECT_TRUE(frame.ColorMap().Sorted());
    ASSERT_EQ(frame.ColorMap().Count(), 2);
    EXPECT_EQ(frame.ColorMap().Colors(0), (TGIFColor{20, 20, 20}));
    EXPECT_EQ(frame.Pixels(0, 0), 1);
    EXPECT_EQ(frame.Pixels(3, 0), 0);
    EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 0);
    EXPECT_FALSE(OptimizeLocalColorMap(frame));
}

TEST(ColorTableOptimizer, GlobalTableCountsEveryFrameUsingIt) {
    TGIFImage document;
    TGIFColorMap& global = document.Header().ColorMap();
    global.Add({1, 1, 1});
    global.Add({2, 2, 2});
    global.Add({3, 3, 3});
    for (int i = 0; i < 2; ++i) {
        auto frame = std::make_unique<TGIFSubImage>(&document);
        frame->SetBounds(0, 0, 2, 1);
        frame->SetPixels(0, 0, 2);
        frame->SetPixels(1, 0, static_cast<uint8_t>(i == 0 ? 2 : 0));
        document.Add(std::unique_ptr<TGIFObject>(std::move(frame)));
    }
    EXPECT_TRUE(OptimizeGlobalColorMap(document));
    ASSERT_EQ(global.Count(), 2);
    EXPECT_EQ(global.Colors(0), (TGIFColor{3, 3, 3}));
    EXPECT_EQ(document.Images()[1].Pixels(1, 0), 1);
}
