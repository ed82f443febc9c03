// Stretches of pixels compared with where they were: the pixels found moved are exactly those
// whose weighted distance exceeds the limit, whatever the channels, and their marks agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "gif/optimise/StillRuns.h"

namespace {

TEST(StillRuns, MovedPixelsAreThoseFartherThanTheDistance) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> byte(0, 255), nudge(-6, 6);
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<uint8_t> a(3 * kStillRun), b(3 * kStillRun);
        for (size_t i = 0; i < a.size(); ++i) {
            a[i] = static_cast<uint8_t>(byte(random));
            // Mostly small moves, some to the far end of a channel and back.
            const int moved = trial % 4 == 0 ? byte(random) : a[i] + nudge(random);
            b[i] = static_cast<uint8_t>(std::clamp(moved, 0, 255));
        }
        const int distance = trial % 3 == 0 ? 0 : trial % 3 == 1 ? 40 : kMaxColorDistance / 3;
        std::vector<uint8_t> marks(kStillRun + 1, 7);
        const uint32_t moved = MarkMovedPixels(a.data(), b.data(), distance, marks.data());
        for (int i = 0; i < kStillRun; ++i) {
            const uint8_t* p = a.data() + 3 * i;
            const uint8_t* q = b.data() + 3 * i;
            const bool far = ColorDistance(p[2] - q[2], p[1] - q[1], p[0] - q[0]) > distance;
            EXPECT_EQ((moved >> i) & 1, far ? 1u : 0u) << "trial " << trial << ", pixel " << i;
            EXPECT_EQ(marks[static_cast<size_t>(i)], far ? 1 : 0) << "trial " << trial;
        }
        EXPECT_EQ(moved >> kStillRun, 0u);
        EXPECT_EQ(marks[kStillRun], 7) << "a mark written past the stretch";
    }
}

}  // namespace
