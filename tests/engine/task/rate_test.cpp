// Frame rates and time windows on the frame road: the constant output rate drops and repeats
// pictures, a variable rate input comes out at a constant rate, -t limits the length and an
// input -ss starts at its picture.
#include <cmath>

#include "tests/engine/task/transcode_test_support.h"

using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

const std::string kFrameRoad = "-f rawrgb -c:v rawvideo -pix_fmt bgr24";

class RateTest : public TranscodeTest {
protected:
    // 2 s at 30 fps whose frame n is a grey of luma 32 + 3n (lossless)
    static std::string CountingClip() {
        return Clip("count.mkv",
                    "-f lavfi -i \"color=black:size=64x48:rate=30,geq=lum='32+N*3':cb=128:cr=128\" "
                    "-t 2 -c:v ffv1");
    }
    // The frame number a grey picture of the counting clip shows.
    static int FrameShown(const std::vector<uint8_t>& bgr) {
        const double luma = bgr[0] * 219.0 / 255.0 + 16;  // full-range grey to limited-range luma
        return static_cast<int>(std::lround((luma - 32) / 3));
    }

    TFrameRecorder Convert(const std::string& clip, const std::string& inputOptions,
                           const std::string& outputOptions) {
        TFrameOutputAdapter adapter;
        TFrameRecorder recorder;
        recorder.Attach(adapter);
        TCustomFFmpeg task;
        Open(task, clip, inputOptions, adapter.OutputName(), kFrameRoad + " " + outputOptions);
        task.Transcode();
        EXPECT_TRUE(task.Completed);
        for (size_t i = 0; i < recorder.Numbers.size(); i++)
            EXPECT_EQ(recorder.Numbers[i], static_cast<int>(i + 1));
        return recorder;
    }
};

TEST_F(RateTest, ThirtyIntoTwentyFiveDropsOneFrameInSix) {
    const TFrameRecorder frames = Convert(CountingClip(), "", "-r 25");
    const size_t drops = CountLines("*** drop!");
    // the first dozen frames fit the lag the output allows, then one in six goes
    EXPECT_GE(drops, 8u);
    EXPECT_LE(drops, 10u);
    EXPECT_EQ(frames.Numbers.size(), 60 - drops);
    EXPECT_TRUE(Logged(llInfo, " dup=0 drop=" + std::to_string(drops)));
}

TEST_F(RateTest, FifteenIntoThirtyRepeatsEveryFrame) {
    const std::string clip =
        Clip("fifteen.nut", "-f lavfi -i testsrc=size=64x48:rate=15 -t 2 -c:v mpeg4");
    const TFrameRecorder frames = Convert(clip, "", "-r 30");
    EXPECT_EQ(frames.Numbers.size(), 60u);
    EXPECT_EQ(CountLines("*** 1 dup!"), 30u);
    EXPECT_TRUE(Logged(llInfo, " dup=30 drop=0"));
}

TEST_F(RateTest, VariableRateInputComesOutAtConstantRate) {
    // 30 fps with half a second missing after frame 15
    const std::string clip =
        Clip("vfr.mkv",
             "-f lavfi -i testsrc=size=64x48:rate=30 -t 1.5 -vf "
             "\"setpts='N/(30*TB)+gte(N,15)*0.5/TB'\" -fps_mode vfr -c:v mpeg4");
    const TFrameRecorder frames = Convert(clip, "", "");
    // 30 pictures over 1.5 s: the gap is filled by repeating the picture before it
    EXPECT_EQ(frames.Numbers.size(), 45u);
    EXPECT_TRUE(Logged(llVerbose, "*** 15 dup!"));
}

TEST_F(RateTest, RecordingTimeLimitsTheOutput) {
    const TFrameRecorder frames = Convert(CountingClip(), "", "-t 1.5");
    ASSERT_EQ(frames.Numbers.size(), 45u);
    EXPECT_EQ(FrameShown(frames.FirstFrame), 0);
    EXPECT_EQ(FrameShown(frames.LastFrame), 44);
}

TEST_F(RateTest, InputSeekStartsAtThePictureOfItsTime) {
    const TFrameRecorder frames = Convert(CountingClip(), "-ss 1", "");
    ASSERT_EQ(frames.Numbers.size(), 30u);
    EXPECT_EQ(FrameShown(frames.FirstFrame), 30);
    EXPECT_EQ(FrameShown(frames.LastFrame), 59);
}

TEST_F(RateTest, OutputSeekSkipsTheStartOfTheInput) {
    const TFrameRecorder frames = Convert(CountingClip(), "", "-ss 0.5 -t 1");
    ASSERT_EQ(frames.Numbers.size(), 30u);
    EXPECT_EQ(FrameShown(frames.FirstFrame), 15);
}

}  // namespace
