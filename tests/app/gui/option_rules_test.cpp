// The options dialog's arithmetic: steps of a clip, the track bar's range, ticks and page, the
// time of a position and the place of a picture in the preview.
#include <gtest/gtest.h>

#include "app/options/OptionRules.h"

namespace {

TEST(OptionRulesTest, StepsOfAClip) {
    EXPECT_EQ(FramesInDuration(10000000, 25, 1), 250);
    EXPECT_EQ(FramesInDuration(1800000000, 30, 1), 54000);
    EXPECT_EQ(FramesInDuration(1000000, 30000, 1001), 30);  // 29.97
    // Halves go to the even neighbour: 2.5 and 3.5 frames.
    EXPECT_EQ(FramesInDuration(100000, 25, 1), 2);
    EXPECT_EQ(FramesInDuration(140000, 25, 1), 4);
    EXPECT_EQ(TenthsInDuration(12300000), 123);
    EXPECT_EQ(TenthsInDuration(50000), 0);
    EXPECT_EQ(TenthsInDuration(150000), 2);
    // Far beyond 32 bits the count holds at the largest value instead of wrapping.
    EXPECT_EQ(FramesInDuration(INT64_MAX, 1000, 1), INT32_MAX);
}

TEST(OptionRulesTest, TrackBarRangeFollowsTheFrameCount) {
    const TTrackBarRange video = TrackBarRangeFor(250, 0, 10);
    EXPECT_EQ(video.Maximum, 250);
    EXPECT_EQ(video.Frequency, 25);
    EXPECT_EQ(video.PageSize, 12);
    EXPECT_EQ(video.Position, 0);

    EXPECT_EQ(TrackBarRangeFor(54000, 0, 10).Maximum, 32767);
    EXPECT_EQ(TrackBarRangeFor(32768, 0, 10).Maximum, 32767);
    EXPECT_EQ(TrackBarRangeFor(32767, 0, 10).Maximum, 32767);

    // Ticks every position up to 10, a tenth of the range above; pages of 2 up to 9, 5 up to 99,
    // a twentieth from 100.
    const struct {
        int count, frequency, page;
    } rows[] = {{1, 1, 2},  {9, 1, 2},    {10, 1, 5},  {11, 1, 5},
                {99, 9, 5}, {100, 10, 5}, {123, 12, 6}};
    for (const auto& row : rows) {
        const TTrackBarRange range = TrackBarRangeFor(row.count, 0, 10);
        EXPECT_EQ(range.Frequency, row.frequency) << row.count;
        EXPECT_EQ(range.PageSize, row.page) << row.count;
    }
}

TEST(OptionRulesTest, TrackBarKeepsItsShareOfTheRange) {
    EXPECT_EQ(TrackBarRangeFor(250, 5, 10).Position, 125);
    EXPECT_EQ(TrackBarRangeFor(100, 1, 3).Position, 33);
    // An unknown count keeps the maximum and the position.
    const TTrackBarRange unknown = TrackBarRangeFor(0, 7, 40);
    EXPECT_EQ(unknown.Maximum, 40);
    EXPECT_EQ(unknown.Position, 7);
    EXPECT_EQ(unknown.Frequency, 4);
    // A range of 0 has no share to keep.
    EXPECT_EQ(TrackBarRangeFor(50, 0, 0).Position, 0);
}

TEST(OptionRulesTest, PositionsAndTimes) {
    EXPECT_EQ(TimeOfTrackBarPosition(61, 123, 12300000), 6100000);
    EXPECT_EQ(TimeOfTrackBarPosition(125, 250, 10000000), 5000000);
    EXPECT_EQ(TimeOfTrackBarPosition(3, 0, 10000000), 0);
    EXPECT_EQ(TrackBarPositionOf(5000000, 10000000, 250), 125);
    EXPECT_EQ(TrackBarPositionOf(4500000, 10000000, 100), 45);
    // A frame past the duration stays at the end; no duration, no position.
    EXPECT_EQ(TrackBarPositionOf(11000000, 10000000, 250), 250);
    EXPECT_EQ(TrackBarPositionOf(5000000, 0, 250), 0);
}

TEST(OptionRulesTest, PicturesKeepTheirAspectInThePreview) {
    // Wider than the area: full width, margins above and below.
    const TPlacement wide = AspectPlacement(640, 360, 220, 145);
    EXPECT_EQ(wide.Left, 0);
    EXPECT_EQ(wide.Width, 220);
    EXPECT_EQ(wide.Top, 11);  // (145 - 123.75) / 2 = 10.625
    EXPECT_EQ(wide.Height, 145 - 22);
    // Taller: full height, margins left and right.
    const TPlacement tall = AspectPlacement(64, 48, 220, 145);
    EXPECT_EQ(tall.Top, 0);
    EXPECT_EQ(tall.Height, 145);
    EXPECT_EQ(tall.Left, 13);  // (220 - 193.33) / 2 = 13.33
    EXPECT_EQ(tall.Width, 220 - 26);
    // A margin of exactly half a pixel goes to the even neighbour: (10 - 9) / 2 = 0.5 -> 0.
    const TPlacement half = AspectPlacement(9, 10, 10, 10);
    EXPECT_EQ(half.Left, 0);
    EXPECT_EQ(half.Width, 10);
    // The same shape fills the area.
    const TPlacement same = AspectPlacement(440, 290, 220, 145);
    EXPECT_EQ(same.Left, 0);
    EXPECT_EQ(same.Top, 0);
    EXPECT_EQ(same.Width, 220);
    EXPECT_EQ(same.Height, 145);
    // Nothing to draw without area.
    EXPECT_EQ(AspectPlacement(0, 48, 220, 145).Width, 0);
    EXPECT_EQ(AspectPlacement(64, 0, 220, 145).Height, 0);
}

}  // namespace
