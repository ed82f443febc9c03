// The sink's optimisation before saving: a clip with a still background gives a far smaller
// file that another decoder shows frame by frame exactly like the plain one.
#include <numeric>

#include "tests/app/SinkTestSupport.h"

namespace {

using namespace sinktest;

constexpr int kWidth = 96;
constexpr int kHeight = 64;

// A fixed busy scene (a pattern of many colours, which codes poorly) with a small square moving
// across it.
TPixels SceneWithSquare(int step) {
    TPixels pixels;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels.insert(pixels.end(), {static_cast<uint8_t>((x * 37 + y * 11) & 0xE0),
                                         static_cast<uint8_t>((x * 5 + y * 23) & 0xE0),
                                         static_cast<uint8_t>((x * y) & 0xC0)});
    const int left = (step * 3) % (kWidth - 4);
    for (int y = 10; y < 14; ++y)
        for (int x = left; x < left + 4; ++x) {
            uint8_t* pixel = &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
            pixel[0] = 255;
            pixel[1] = 255;
            pixel[2] = 255;
        }
    return pixels;
}

TEST_F(SinkTest, OptimisedDocumentIsSmallerAndLooksTheSame) {
    EXPECT_FALSE(sink.OptimizeFrames());
    std::vector<TPixels> frames;
    for (int i = 0; i < 12; ++i) frames.push_back(SceneWithSquare(i));

    Convert(frames, kWidth, kHeight, {1, 10});
    const std::string plain = sink.SavedFileName();
    sink.SetOptimizeFrames(true);
    Convert(frames, kWidth, kHeight, {1, 10});
    const std::string optimised = sink.SavedFileName();
    ASSERT_NE(plain, optimised);

    const size_t plainSize = testsupport::ReadFileBytes(plain).size();
    const size_t optimisedSize = testsupport::ReadFileBytes(optimised).size();
    EXPECT_LT(optimisedSize * 4, plainSize) << optimisedSize << " of " << plainSize;

    const std::vector<TPixels> shown = DecodeWithFfmpeg(plain, kWidth, kHeight, dir.File("a.rgb"));
    const std::vector<TPixels> shownOptimised =
        DecodeWithFfmpeg(optimised, kWidth, kHeight, dir.File("b.rgb"));
    ASSERT_EQ(shown.size(), frames.size());
    EXPECT_EQ(shownOptimised, shown);
    // The delays still add up to the clip's time.
    const std::vector<int> durations = DurationsByFfprobe(optimised);
    EXPECT_EQ(std::accumulate(durations.begin(), durations.end(), 0), 120);
}

}  // namespace
