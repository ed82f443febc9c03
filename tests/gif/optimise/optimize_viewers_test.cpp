// What viewers show of an optimised document beyond its frames' pixels: the logical screen's
// background colour and the part of the screen the first frame leaves uncovered. Read back by
// the project's reader and by Pillow.
#include <gtest/gtest.h>

#include "gif/model/GIFImage.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/PillowReadBack.h"

using namespace animation;

namespace {

const std::vector<TGIFColor> kColors = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

TGIFColor BackgroundColor(TGIFImage& document) {
    return document.Header().ColorMap().Colors(document.Header().BackgroundColorIndex());
}

uint32_t Rgb(const TGIFColor& color) { return (color.Red << 16) | (color.Green << 8) | color.Blue; }

TEST(OptimizeForViewers, SortingTheGlobalTableKeepsTheBackgroundColour) {
    SKIP_WITHOUT_PILLOW();
    testsupport::TempDir dir;
    // blue is used most, then red; green (index 1) by no pixel, yellow (3) by one
    for (const uint8_t background : {uint8_t{1}, uint8_t{3}, uint8_t{0}}) {
        SCOPED_TRACE(static_cast<int>(background));
        TGIFImage document;
        SetGlobalColors(document, kColors);
        document.Header().SetBackgroundColorIndex(background);
        AddFrame(document, {0, 0, 4, 2, {2, 2, 2, 0, 2, 2, 0, 3}, 10});
        AddFrame(document, {1, 0, 2, 1, {2, 0}, 10});
        const TGIFColor expected = kColors[background];
        const TShownPictures before = ShownPictures(document);

        document.OptimizeFrames(ooColorMap, prNone, 8, edNearest);
        ASSERT_TRUE(document.Header().ColorMap().Sorted());
        EXPECT_EQ(document.Header().ColorMap().Colors(0), kColors[2]) << "blue, used most";
        EXPECT_EQ(BackgroundColor(document), expected);

        const std::string file = dir.File("sorted.gif");
        document.SaveToFile(file);
        TGIFImage reloaded;
        reloaded.LoadFromFile(file);
        EXPECT_EQ(BackgroundColor(reloaded), expected);
        const TShownPictures after = ShownPictures(reloaded);
        ASSERT_EQ(after.pictures.size(), before.pictures.size());
        for (size_t i = 0; i < before.pictures.size(); ++i)
            EXPECT_TRUE(after.pictures[i] == before.pictures[i]) << "frame " << i;

        const pillow::TPillowGif pillow = pillow::Read(file, dir.Path());
        ASSERT_TRUE(pillow.Read) << pillow.Error;
        EXPECT_EQ(pillow.Background, reloaded.Header().BackgroundColorIndex());
        EXPECT_EQ(pillow.BackgroundColor, static_cast<int64_t>(Rgb(expected)));
    }
}

TEST(OptimizeForViewers, TheFirstFrameKeepsItsTransparencyWhereItLeavesTheScreenUncovered) {
    SKIP_WITHOUT_PILLOW();
    testsupport::TempDir dir;
    // a 2x2 first frame in the middle of a 4x4 screen, transparent at an index it never
    // uses; the second frame covers the screen, transparent at an unused index too
    TGIFImage document;
    SetGlobalColors(document, kColors);
    document.Header().SetBackgroundColorIndex(1);
    AddFrame(document, {1, 1, 2, 2, {0, 2, 2, 0}, 10, dmNone, 3});
    AddFrame(document, {0, 0, 4, 4, std::vector<uint8_t>(16, 2), 10, dmNone, 3});

    document.OptimizeFrames(ooCleanup, prNone, 8, edNearest);
    EXPECT_TRUE(document.Images()[0].Transparent()) << "the first frame uncovers the screen";
    EXPECT_FALSE(document.Images()[1].Transparent()) << "a frame covering the screen";

    const std::string file = dir.File("cleaned.gif");
    document.SaveToFile(file);
    TGIFImage reloaded;
    reloaded.LoadFromFile(file);
    EXPECT_EQ(reloaded.Images()[0].TransparentColorIndex(), 3);

    const pillow::TPillowGif pillow = pillow::Read(file, dir.Path());
    ASSERT_TRUE(pillow.Read) << pillow.Error;
    ASSERT_EQ(pillow.Frames, 2);
    ASSERT_EQ(pillow.Pictures[0].size(), 16u);
    // the corner no frame covers is transparent, not painted green; the frame's own pixels show
    EXPECT_EQ(pillow.Pictures[0][0] & 0xFF, 0u);
    EXPECT_EQ(pillow.Pictures[0][5], 0xFF0000FFu);
    EXPECT_EQ(pillow.Pictures[0][6], 0x0000FFFFu);

    // a first frame that covers the screen loses the transparency it never uses
    TGIFImage covering;
    SetGlobalColors(covering, kColors);
    AddFrame(covering, {0, 0, 2, 2, {0, 2, 2, 0}, 10, dmNone, 3});
    covering.OptimizeFrames(ooCleanup, prNone, 8, edNearest);
    EXPECT_FALSE(covering.Images()[0].Transparent());
}

}  // namespace
