// Delays from timestamps: rounding carried from frame to frame, frames without timestamps or
// durations, timestamps that jump back or far ahead, and streams whose time base is unknown.
#include "app/core/FrameDelays.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

constexpr int64_t kNoTime = TFrameDelays::kNoTime;

// The delays of frames starting at `starts` (each lasting `duration`), the last one included.
std::vector<int> DelaysOf(const std::vector<int64_t>& starts, TTickLength tick,
                          int64_t duration = 0, int64_t frameLength = 0) {
    TFrameDelays delays;
    std::vector<int> result;
    for (int64_t start : starts) {
        const int delay = delays.NextFrame(start, duration, tick);
        if (delay >= 0) result.push_back(delay);
    }
    result.push_back(delays.LastFrame(frameLength));
    return result;
}

int Sum(const std::vector<int>& delays) { return std::accumulate(delays.begin(), delays.end(), 0); }

std::vector<int64_t> Count(int n, int64_t first = 0, int64_t step = 1) {
    std::vector<int64_t> starts;
    for (int i = 0; i < n; ++i) starts.push_back(first + i * step);
    return starts;
}

TEST(FrameDelays, RoundingIsCarriedSoTheDelaysAddUpToTheClip) {
    const std::vector<int> thirty = DelaysOf(Count(30), {1, 30});
    EXPECT_EQ(std::vector<int>(thirty.begin(), thirty.begin() + 6),
              (std::vector<int>{3, 3, 4, 3, 3, 4}));
    EXPECT_EQ(Sum(thirty), 100);
    // 29.97 frames per second for ten seconds, starting late
    EXPECT_EQ(Sum(DelaysOf(Count(300, 5000, 1001), {1, 30000})), 1001);
    // 60 frames per second (a rate asked for): 1 and 2 hundredths, 100 a second
    const std::vector<int> sixty = DelaysOf(Count(120), {1, 60});
    EXPECT_EQ(Sum(sixty), 200);
    EXPECT_EQ(*std::min_element(sixty.begin(), sixty.end()), 1);
    EXPECT_EQ(DelaysOf(Count(4), {1, 25}), (std::vector<int>{4, 4, 4, 4}));
}

TEST(FrameDelays, VariableFrameRateKeepsEveryInterval) {
    // milliseconds: 0, 40, 140, 145, 1145
    EXPECT_EQ(DelaysOf({0, 40, 140, 145, 1145}, {1, 1000}, 0),
              (std::vector<int>{4, 10, 0, 100, 100}));
    // the third frame shorter than a hundredth: its time is carried, not lost
    EXPECT_EQ(Sum(DelaysOf({0, 40, 140, 145, 1145}, {1, 1000}, 0)), 114 + 100);
}

TEST(FrameDelays, LastFrameLastsItsDurationElseTheIntervalElseTheFrameRate) {
    EXPECT_EQ(DelaysOf({0, 10}, {1, 100}, 30), (std::vector<int>{10, 30}));
    EXPECT_EQ(DelaysOf({0, 10}, {1, 100}, 0), (std::vector<int>{10, 10}));
    EXPECT_EQ(DelaysOf({0}, {1, 100}, 0, 25), (std::vector<int>{25}));
    EXPECT_EQ(DelaysOf({0}, {1, 100}, 0, 0), (std::vector<int>{TFrameDelays::kDefaultDelay}));
    TFrameDelays none;
    EXPECT_EQ(none.LastFrame(0), -1);
}

TEST(FrameDelays, FramesWithoutTimestampsFollowTheOneBefore) {
    TFrameDelays delays;
    const TTickLength tick{1, 100};
    EXPECT_EQ(delays.NextFrame(0, 7, tick), -1);
    EXPECT_EQ(delays.NextFrame(kNoTime, 0, tick), 7);  // after the first one's duration
    EXPECT_EQ(delays.NextFrame(20, 0, tick), 13);
    EXPECT_EQ(delays.NextFrame(kNoTime, 0, tick), 13);  // after the last interval
    EXPECT_EQ(delays.LastFrame(0), 13);
    EXPECT_EQ(delays.Total(), 46);
    // A first frame without a timestamp starts the clock at 0.
    TFrameDelays late;
    late.NextFrame(kNoTime, 0, tick);
    EXPECT_EQ(late.NextFrame(50, 0, tick), 50);
}

TEST(FrameDelays, TimestampsGoingBackOrFarAheadStayInRange) {
    // Back: 0 for that frame, and the next ones catch up with the clock.
    EXPECT_EQ(DelaysOf({0, 50, 30, 100}, {1, 100}), (std::vector<int>{50, 0, 50, 70}));
    // A gap longer than a delay can hold: the largest delay, the rest carried on.
    EXPECT_EQ(DelaysOf({0, 1000}, {1, 1}, 1),
              (std::vector<int>{TFrameDelays::kMaxDelay, 100000 - TFrameDelays::kMaxDelay + 100}));
    // Timestamps at the ends of the 64-bit range do not overflow.
    const std::vector<int> extreme = DelaysOf({INT64_MIN + 1, INT64_MAX}, {1, 1000000000});
    EXPECT_EQ(extreme[0], TFrameDelays::kMaxDelay);
    TFrameDelays big;
    big.NextFrame(0, 0, {INT32_MAX, 1});
    EXPECT_EQ(big.NextFrame(INT64_MAX, 0, {INT32_MAX, 1}), TFrameDelays::kMaxDelay);
}

TEST(FrameDelays, UnknownTickLengthGivesEveryFrameTheDefaultDelay) {
    EXPECT_EQ(DelaysOf({0, 1, 2}, {0, 1}), (std::vector<int>(3, TFrameDelays::kDefaultDelay)));
    EXPECT_EQ(DelaysOf({0, 1}, {1, 0}, 5), (std::vector<int>(2, TFrameDelays::kDefaultDelay)));
}

}  // namespace
