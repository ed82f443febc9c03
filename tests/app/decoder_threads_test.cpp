#include "app/core/DecoderThreads.h"

#include <gtest/gtest.h>

namespace {

// An H.264 clip of `width` x `height` at 25 frames a second and `bitRate` bits a second.
TClipFacts H264Clip(int width, int height, int64_t bitRate) {
    TClipFacts facts;
    facts.HasVideo = true;
    facts.Width = width;
    facts.Height = height;
    facts.FrameRate = 25;
    facts.Codec = "h264";
    facts.BitRate = bitRate;
    return facts;
}

TEST(DecoderThreads, OneThreadDecodesWhenMakingTheFramesIsTheHeavierPart) {
    const TClipFacts smooth = H264Clip(640, 480, 330000);
    const TClipFacts grainy = H264Clip(640, 480, 27000000);
    const TClipFacts full = H264Clip(1920, 1080, 12000000);
    // Frames as large as the picture or a quarter of it cost more to make than to decode.
    EXPECT_EQ(DecoderThreadCount(smooth, 320 * 240, 1, 1), 1);
    EXPECT_EQ(DecoderThreadCount(smooth, 640 * 480, 1, 1), 1);
    EXPECT_EQ(DecoderThreadCount(full, 1280 * 720, 1, 1), 1);
    // A densely coded picture, or a large one made small, costs more to decode.
    EXPECT_EQ(DecoderThreadCount(grainy, 320 * 240, 1, 1), 0);
    EXPECT_EQ(DecoderThreadCount(full, 320 * 180, 1, 1), 0);
    // Many workers, or few frames kept of those decoded, need faster decoding.
    EXPECT_EQ(DecoderThreadCount(smooth, 320 * 240, 1, 8), 0);
    EXPECT_EQ(DecoderThreadCount(full, 1280 * 720, 0.1, 1), 0);
    // Cheap frames decode on one thread whatever is made of them.
    EXPECT_EQ(DecoderThreadCount(smooth, 160 * 120, 0.1, 1), 1);
    EXPECT_EQ(DecoderThreadCount(full, 640 * 360, 1, 1), 0);
}

TEST(DecoderThreads, UnknownCostsLeaveTheChoiceToTheCodecLibrary) {
    TClipFacts clip = H264Clip(640, 480, 0);
    EXPECT_EQ(DecoderThreadCount(clip, 320 * 240, 1, 1), 0);
    clip = H264Clip(640, 480, 330000);
    clip.Codec = "hevc";
    EXPECT_EQ(DecoderThreadCount(clip, 320 * 240, 1, 1), 0);
    clip = H264Clip(640, 480, 330000);
    clip.FrameRate = 0;
    EXPECT_EQ(DecoderThreadCount(clip, 320 * 240, 1, 1), 0);
}

TEST(DecoderThreads, TheConversionsSizeAndRateCount) {
    const TClipFacts clip = H264Clip(1920, 1080, 12000000);
    TConversionChoices choices;
    TTaskOptionTexts texts;
    // The clip's own size and rate.
    EXPECT_GE(DefaultDecoderThreads(choices, clip, texts), 0);
    texts.Width = 1920;
    texts.Height = 1080;
    const int large = DefaultDecoderThreads(choices, clip, texts);
    texts.Width = 160;
    texts.Height = 90;
    EXPECT_EQ(DefaultDecoderThreads(choices, clip, texts), 0);
    texts.Width = 1920;
    texts.Height = 1080;
    choices.FrameRate = 1;
    EXPECT_EQ(DefaultDecoderThreads(choices, clip, texts), 0);
    // Whole-size frames at the clip's rate need one thread on a machine of up to 8 workers.
    EXPECT_EQ(large, 1);
}

}  // namespace
