// The choices both front ends share: a size kept to the picture's aspect ratio, the folder the
// GIF goes to, and the dither names in the order of the engines.
#include <gtest/gtest.h>

#include "app/core/DitherNames.h"
#include "app/core/TaskOptions.h"

namespace {

TClipFacts Clip(int width, int height, double aspect) {
    TClipFacts facts;
    facts.HasVideo = true;
    facts.Width = width;
    facts.Height = height;
    facts.AspectRatio = aspect;
    facts.FrameRate = 25;
    return facts;
}

TEST(TaskOptions, KeepingTheAspectRatioFitsThePictureIntoTheSize) {
    TConversionChoices choices;
    choices.Size = {320, 240};
    choices.KeepAspect = true;
    // A wide clip fills the width, a portrait one the height.
    TTaskOptionTexts texts = BuildTaskOptions(choices, Clip(1920, 1080, 16.0 / 9));
    EXPECT_EQ(texts.Width, 320);
    EXPECT_EQ(texts.Height, 180);
    EXPECT_NE(texts.Output.find("scale=320:180"), std::string::npos);
    texts = BuildTaskOptions(choices, Clip(1080, 1920, 9.0 / 16));
    EXPECT_EQ(texts.Width, 135);
    EXPECT_EQ(texts.Height, 240);
    // Stored 720x576, shown 16:9.
    texts = BuildTaskOptions(choices, Clip(720, 576, 16.0 / 9));
    EXPECT_EQ(texts.Height, 180);
    // Without it the size is the frame's, whatever the clip.
    choices.KeepAspect = false;
    texts = BuildTaskOptions(choices, Clip(1080, 1920, 9.0 / 16));
    EXPECT_NE(texts.Output.find("scale=320:240"), std::string::npos);
    // Unknown aspect: the box itself; the clip's own size: no scaling at all.
    EXPECT_EQ(FitIntoBox({320, 240}, 0).Width, 320);
    choices.Size = {};
    choices.KeepAspect = true;
    EXPECT_EQ(BuildTaskOptions(choices, Clip(1080, 1920, 9.0 / 16)).Output.find("scale"),
              std::string::npos);
    // Never below a pixel.
    EXPECT_EQ(FitIntoBox({100, 100}, 1000).Height, 1);
}

TEST(TaskOptions, TheGifGoesBesideTheClipOrIntoTheChosenFolder) {
    EXPECT_EQ(NamingBase("/clips/a.mp4", ""), "/clips/a.mp4");
    EXPECT_EQ(NamingBase("/clips/a.mp4", "/gifs"), "/gifs/a.mp4");
    EXPECT_EQ(NamingBase("/clips/a.mp4", "/gifs/"), "/gifs/a.mp4");
    EXPECT_EQ(NamingBase("a.mp4", "/gifs"), "/gifs/a.mp4");
}

TEST(TaskOptions, DitherNamesAreTheEnginesInOrderThenThePattern) {
    ASSERT_EQ(DitherNames().size(), 8u);
    EXPECT_EQ(DitherName(dcNone), "none");
    EXPECT_EQ(DitherName(dcBurkes), "burkes");
    EXPECT_EQ(DitherName(dcPattern), "pattern");
    for (size_t i = 0; i < DitherNames().size(); ++i) {
        TDitherChoice choice = dcNone;
        ASSERT_TRUE(FindDither(DitherNames()[i], choice));
        EXPECT_EQ(static_cast<size_t>(choice), i);
    }
    // The engines' values, the pattern none of them.
    EXPECT_EQ(DiffusionOf(dcStucki), edStucki);
    EXPECT_EQ(DiffusionOf(dcPattern), edNearest);
    TDitherChoice choice = dcStucki;
    EXPECT_TRUE(FindDither("Floyd-Steinberg", choice));
    EXPECT_EQ(choice, dcFloydSteinberg);
    EXPECT_FALSE(FindDither("ordered", choice));
    EXPECT_EQ(choice, dcFloydSteinberg);
}

}  // namespace
