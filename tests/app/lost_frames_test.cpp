// What a damaged clip lost, in the words both front ends show.
#include "app/core/LostFrames.h"

#include <gtest/gtest.h>

namespace {

TVideoLosses Losses(int frames, int64_t readUntil, int damaged) {
    TVideoLosses losses;
    losses.Frames = frames;
    losses.ReadUntil = readUntil;
    losses.Damaged = damaged;
    losses.Expected = 3000000;
    losses.FrameRate = 25;
    return losses;
}

TEST(LostFrames, WhatWasLostAndWhy) {
    EXPECT_EQ(LostFramesText(Losses(75, -1, 0)), "");
    EXPECT_EQ(LostFramesText(Losses(11, 440000, 0)),
              "11 of about 75 frames: the clip could not be read after 0.44 s");
    EXPECT_EQ(LostFramesText(Losses(45, -1, 22)),
              "45 of about 75 frames: the clip is damaged in 22 places");
    EXPECT_EQ(
        LostFramesText(Losses(14, 2000000, 1)),
        "14 of about 75 frames: the clip could not be read after 2 s and is damaged in 1 place");
    // Seconds to the hundredth; without a length or rate, no count to measure against.
    TVideoLosses unknown = Losses(1, 1234567, 0);
    unknown.FrameRate = 0;
    EXPECT_EQ(LostFramesText(unknown), "1 frame: the clip could not be read after 1.23 s");
}

}  // namespace
