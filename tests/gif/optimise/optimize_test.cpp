// Frame optimisation: the pictures stay the same, frame by frame, while the frames shrink.
#include <gtest/gtest.h>

#include "gif/core/GIFException.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/DocumentTestSupport.h"

using namespace animation;
using gifdoc::ErrorOf;

namespace {

constexpr TGIFOptimizeOptions kLossless = ooCrop | ooMerge | ooCleanup | ooColorMap;

void Optimize(TGIFImage& document, TGIFOptimizeOptions options = kLossless,
              TPaletteReduction mode = prNone) {
    document.OptimizeFrames(options, mode, 8, edNearest);
}

// Every moment of `after` shows what `before` showed then.
void ExpectSamePictures(const TShownPictures& before, const TShownPictures& after) {
    ASSERT_EQ(after.Duration(), before.Duration());
    for (int time = 0; time < before.Duration(); ++time)
        ASSERT_TRUE(after.At(time) == before.At(time)) << "at " << time;
}

TShownPictures Reloaded(TGIFImage& document) {
    TGIFImage copy;
    gifdoc::Load(copy, gifdoc::Save(document));
    return ShownPictures(copy);
}

// Frames of a clip converted as the program does it: reduced with the octree and the system
// colours, 10 hundredths each, looping for ever.
void AddClipFrames(TGIFImage& document, const testsupport::TempDir& dir, int count) {
    document.SetReductionMode(prOctreePlusSystem);
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%02d.bmp", i);
        TBitmap picture;
        picture.LoadFromFile(dir.File(name));
        TGIFSubImage& frame = document.Images()[document.Add(picture)];
        if (i == 1) frame.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&frame));
        auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
        control->SetDelay(10);
        frame.Extensions().Add(std::move(control));
    }
}

const std::vector<TGIFColor> kColors = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

}  // namespace

TEST(Optimize, ConvertedClipShowsTheSamePicturesInTheProjectReaderAndInFfmpeg) {
    testsupport::TempDir dir;
    // A fixed scene; a small square moves across it, then stays put (identical frames).
    testsupport::MakeMedia(
        "-f lavfi -i gradients=s=96x72:r=10:seed=3,trim=end_frame=1,loop=loop=-1:size=1,"
        "setpts=N/10/TB -f lavfi -i rgbtestsrc=s=16x16:r=10 -filter_complex "
        "\"[0][1]overlay=x='min(t*60\\,50)':y=30:shortest=1\" -frames:v 16 -pix_fmt bgr24",
        dir.File("f%02d.bmp"));
    TGIFImage document;
    AddClipFrames(document, dir, 16);
    const std::string beforeFile = dir.File("before.gif");
    document.SaveToFile(beforeFile);
    const TShownPictures before = ShownPictures(document);

    Optimize(document);
    const std::string afterFile = dir.File("after.gif");
    document.SaveToFile(afterFile);
    TGIFImage reloaded;
    reloaded.LoadFromFile(afterFile);
    const TShownPictures after = ShownPictures(reloaded);

    EXPECT_LT(reloaded.Images().Count(), 16) << "the frames where nothing moves are gone";
    ExpectSamePictures(before, after);
    EXPECT_LT(testsupport::ReadFileBytes(afterFile).size(),
              testsupport::ReadFileBytes(beforeFile).size() / 2);

    const std::vector<TPicture> ffmpegBefore = FfmpegPictures(dir, beforeFile, 96, 72);
    const std::vector<TPicture> ffmpegAfter = FfmpegPictures(dir, afterFile, 96, 72);
    ASSERT_EQ(ffmpegBefore.size(), before.pictures.size());
    ASSERT_EQ(ffmpegAfter.size(), after.pictures.size());
    for (size_t i = 0; i < ffmpegBefore.size(); ++i)
        ASSERT_TRUE(ffmpegBefore[i] == before.pictures[i]) << "frame " << i;
    int time = 0;
    for (size_t i = 0; i < ffmpegAfter.size(); time += after.delays[i++])
        ASSERT_TRUE(ffmpegAfter[i] == before.At(time)) << "optimised frame " << i;
}

TEST(Optimize, FramesThatShowNothingNewGoAndTheFrameBeforeKeepsTheirTime) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 2, 2, {1, 1, 1, 1}, 10});
    AddFrame(document, {0, 0, 2, 2, {1, 1, 1, 1}, 7});             // the same picture
    AddFrame(document, {1, 1, 1, 1, {1}, 5});                      // the same colour again
    AddFrame(document, {0, 0, 2, 2, {2, 1, 1, 1}, 20});            // one pixel changes
    AddFrame(document, {0, 0, 2, 2, {0, 0, 0, 0}, 4, dmNone, 0});  // all transparent
    const TShownPictures before = ShownPictures(document);

    Optimize(document);
    ASSERT_EQ(document.Images().Count(), 2);
    EXPECT_EQ(document.Images()[0].GraphicControlExtension()->Delay(), 22);
    EXPECT_EQ(document.Images()[1].GraphicControlExtension()->Delay(), 24);
    const TGIFSubImage& changed = document.Images()[1];
    EXPECT_EQ((TRect{changed.Left(), changed.Top(), changed.Width(), changed.Height()}),
              (TRect{0, 0, 1, 1}));
    ExpectSamePictures(before, Reloaded(document));
}

TEST(Optimize, DisposalDecidesWhatMayBeCroppedOrDeleted) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 3, 3, std::vector<uint8_t>(9, 1), 10});
    // Cleared after its time: its whole rectangle matters even where it is transparent.
    AddFrame(document, {0, 0, 3, 3, {0, 0, 0, 0, 2, 0, 0, 0, 0}, 10, dmBackground, 0});
    // Shows nothing over the cleared screen: kept (one pixel) so the cleared picture shows.
    AddFrame(document, {0, 0, 3, 3, std::vector<uint8_t>(9, 0), 10, dmNone, 0});
    AddFrame(document, {1, 1, 1, 1, {3}, 10, dmPrevious});
    AddFrame(document, {0, 0, 3, 3, std::vector<uint8_t>(9, 0), 10, dmNone, 0});
    const TShownPictures before = ShownPictures(document);

    Optimize(document, ooCrop | ooMerge);
    ASSERT_EQ(document.Images().Count(), 5);
    EXPECT_EQ(document.Images()[1].Width(), 3) << "a frame that clears its area is not cropped";
    EXPECT_EQ(document.Images()[2].Width() * document.Images()[2].Height(), 1);
    EXPECT_EQ(document.Images()[4].Width() * document.Images()[4].Height(), 1)
        << "after \"restore previous\" the picture changes: the invisible frame stays";
    ExpectSamePictures(before, Reloaded(document));
}

TEST(Optimize, MergingComparesWithTheScreenAfterTheDisposalBefore) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 2, 1, {1, 1}, 10, dmBackground});
    // The same colour where the frame before was cleared: it must stay, not become a hole.
    AddFrame(document, {0, 0, 1, 1, {1}, 10});
    const TShownPictures before = ShownPictures(document);

    Optimize(document, ooMerge);
    EXPECT_LT(document.Images()[1].TransparentColorIndex(), 0);
    ExpectSamePictures(before, Reloaded(document));
}

TEST(Optimize, MergingFindsATransparentIndexEvenInFullTables) {
    std::vector<TGIFColor> full;
    for (int i = 0; i < 256; ++i) full.push_back({static_cast<uint8_t>(i), 0, 0});
    TGIFImage document;
    AddFrame(document, {0, 0, 4, 1, {1, 2, 3, 4}, 10, dmNone, -1, full});
    // Uses entries 1 to 4 only: a free entry serves as the transparent index.
    AddFrame(document, {0, 0, 4, 1, {1, 2, 9, 4}, 10, dmNone, -1, full});
    // Shows every entry of its table where it differs from the frame before: nothing can
    // become transparent, and nothing may break.
    std::vector<uint8_t> first(512), second(512);
    for (int i = 0; i < 512; ++i) {
        first[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        second[static_cast<size_t>(i)] = static_cast<uint8_t>(i < 256 ? i + 1 : i);
    }
    TGIFImage crowded;
    AddFrame(crowded, {0, 0, 512, 1, first, 10, dmNone, -1, full});
    AddFrame(crowded, {0, 0, 512, 1, second, 10, dmNone, -1, full});
    for (TGIFImage* doc : {&document, &crowded}) {
        const TShownPictures before = ShownPictures(*doc);
        Optimize(*doc, ooMerge);
        ExpectSamePictures(before, Reloaded(*doc));
    }
    EXPECT_TRUE(document.Images()[1].Transparent());
    EXPECT_EQ(document.Images()[1].ColorMap().Count(), 256);
    EXPECT_FALSE(crowded.Images()[1].Transparent());
}

TEST(Optimize, GlobalTableFramesShareATransparentIndexOnlyWhereItIsFree) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 3, 1, {1, 1, 1}, 10});
    AddFrame(document, {0, 0, 3, 1, {2, 1, 1}, 10, dmNone, 3});  // transparent index 3 (blue)
    AddFrame(document, {0, 0, 3, 1, {2, 1, 1}, 10});             // index 3 free here: shared
    AddFrame(document, {0, 0, 3, 1, {3, 1, 1}, 10});             // shows blue: a new entry
    const TShownPictures before = ShownPictures(document);

    Optimize(document, ooMerge);
    EXPECT_EQ(document.Images()[2].TransparentColorIndex(), 3);
    EXPECT_EQ(document.Images()[3].TransparentColorIndex(), 4);
    EXPECT_EQ(document.Header().ColorMap().Count(), 5);
    ExpectSamePictures(before, Reloaded(document));
}

TEST(Optimize, CleanupDropsUnusedTransparencyAndHiddenDisposal) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 2, 2, {1, 1, 1, 1}, 10, dmBackground});
    AddFrame(document, {0, 0, 2, 2, {2, 2, 2, 2}, 10, dmBackground, 3});  // never uses index 3
    AddFrame(document, {0, 0, 2, 2, {1, 2, 1, 2}, 10, dmPrevious});
    AddFrame(document, {0, 0, 1, 1, {3}, 10});
    const TShownPictures before = ShownPictures(document);

    Optimize(document, ooCleanup);
    EXPECT_EQ(document.Images()[0].GraphicControlExtension()->Disposal(), dmNone)
        << "the next frame, opaque once its unused transparency is gone, covers it";
    EXPECT_FALSE(document.Images()[1].Transparent());
    EXPECT_EQ(document.Images()[1].GraphicControlExtension()->Disposal(), dmBackground)
        << "the next frame covers it but then restores what was before it";
    EXPECT_EQ(document.Images()[2].GraphicControlExtension()->Disposal(), dmPrevious)
        << "the next frame is smaller";
    ExpectSamePictures(before, Reloaded(document));
}

TEST(Optimize, CleanupRemovesExtensionsThatCarryNothing) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    TGIFSubImage& first = AddFrame(document, {0, 0, 1, 1, {1}, 10});
    first.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&first));
    first.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&first));
    first.Extensions().Add(std::make_unique<TGIFCommentExtension>(&first));
    TGIFSubImage& second = AddFrame(document, {0, 0, 1, 1, {2}, 0});
    second.Extensions().Add(std::make_unique<TGIFTextExtension>(&second));
    second.Extensions().Add(std::make_unique<TGIFUnknownAppExtension>(&second));
    second.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&second));
    TGIFSubImage& trailing = AddFrame(document, {0, 0, 0, 0, {}, -1});
    trailing.Extensions().Add(std::make_unique<TGIFCommentExtension>(&trailing));

    Optimize(document, ooCleanup);
    ASSERT_EQ(document.Images().Count(), 2) << "the frame left with nothing is gone";
    ASSERT_EQ(document.Images()[0].Extensions().Count(), 2) << "its delay and one looping block";
    EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(&document.Images()[0].Extensions()[1]), nullptr);
    EXPECT_EQ(document.Images()[1].Extensions().Count(), 0) << "delay 0: nothing to carry";

    TGIFImage single;
    SetGlobalColors(single, kColors);
    TGIFSubImage& only = AddFrame(single, {0, 0, 1, 1, {1}, 50, dmBackground});
    only.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&only));
    Optimize(single, ooCleanup);
    EXPECT_EQ(single.Images()[0].Extensions().Count(), 0) << "one frame needs no timing";
}

TEST(Optimize, ColorTablesAreSortedByUse) {
    TGIFImage document;
    AddFrame(document, {0, 0, 4, 1, {3, 3, 3, 1}, 10, dmNone, -1, kColors});
    const TShownPictures before = ShownPictures(document);
    Optimize(document, ooColorMap);
    const TGIFColorMap& table = document.Images()[0].ColorMap();
    ASSERT_EQ(table.Count(), 2);
    EXPECT_TRUE(table.Sorted());
    EXPECT_EQ(table.Colors(0), (TGIFColor{0, 0, 255}));
    ExpectSamePictures(before, Reloaded(document));
}

TEST(Optimize, CommonPaletteReplacesTheLocalTables) {
    TGIFImage document;
    AddFrame(document,
             {0, 0, 3, 1, {0, 1, 2}, 10, dmNone, -1, {{9, 9, 9}, {200, 0, 0}, {0, 7, 0}}});
    AddFrame(document, {1, 0, 2, 1, {0, 1}, 10, dmNone, 1, {{0, 7, 0}, {1, 1, 1}}});
    const TShownPictures before = ShownPictures(document);

    Optimize(document, ooReduceColors, prNone);
    EXPECT_EQ(document.Images()[0].ColorMap().Count(), 0);
    EXPECT_EQ(document.Images()[1].ColorMap().Count(), 0);
    EXPECT_EQ(document.Header().ColorMap().Count(), 4) << "three colours and the transparent one";
    EXPECT_TRUE(document.Images()[1].Transparent());
    ExpectSamePictures(before, Reloaded(document));

    Optimize(document, ooReduceColors, prWebCube216);
    for (int i = 0; i < document.Header().ColorMap().Count() - 1; ++i)
        EXPECT_EQ(document.Header().ColorMap().Colors(i).Red % 51, 0);

    const std::vector<uint8_t> saved = gifdoc::Save(document);
    EXPECT_EQ(ErrorOf([&] { Optimize(document, ooReduceColors, prCallerPalette); }),
              "Invalid reduction method");
    EXPECT_EQ(gifdoc::Save(document), saved) << "refused before anything changed";
}

TEST(Optimize, ReportsProgressAndLeavesEmptyDocumentsAlone) {
    TGIFImage document;
    std::vector<std::string> messages;
    std::vector<int> percents;
    document.OnProgress = [&](TGIFObject*, TProgressStage stage, int percent, bool, const TRect&,
                              const std::string& message) {
        messages.push_back(message);
        if (stage == psRunning) percents.push_back(percent);
    };
    Optimize(document);
    EXPECT_TRUE(messages.empty());

    SetGlobalColors(document, kColors);
    for (int i = 0; i < 3; ++i) AddFrame(document, {0, 0, 1, 1, {static_cast<uint8_t>(i)}, 10});
    messages.clear();
    Optimize(document, ooMerge | ooCrop);
    ASSERT_FALSE(messages.empty());
    for (const std::string& message : messages) EXPECT_EQ(message, "Optimizing...");
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LE(percents.back(), 100);
}
