// The decoder describes and draws a clip's pictures as players show them: the stream they show
// of several, turned upright, at the size its sample aspect ratio gives.
#include <gtest/gtest.h>

#include "engine/decoder/FFDecode.h"
#include "platform/Bitmap.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/decoder/DecoderTestMedia.h"

namespace {

class DecoderShownTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { decodertest::LoadDecoderLibraries(); }
    void TearDown() override { decoder.Close(); }

    testsupport::TempDir dir;
    TFFDecoder decoder;
};

// The first frame as ffmpeg shows it, in the bitmap's blue, green, red rows.
std::vector<uint8_t> ShownByFfmpeg(const std::string& file, const std::string& scratch) {
    const auto result = testsupport::Run(
        "ffmpeg -nostdin -v error -y -i " + testsupport::ShellQuote(file) +
        " -frames:v 1 -f rawvideo -pix_fmt bgr24 " + testsupport::ShellQuote(scratch));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return testsupport::ReadFileBytes(scratch);
}

TEST_F(DecoderShownTest, TurnedClipIsDescribedAndDrawnUpright) {
    const std::string stored = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=5 -t 1 -c:v libx264 -qp 0 -pix_fmt yuv444p",
        dir.File("stored.mp4"));
    const std::string turned = testsupport::MakeMedia(
        "-i " + testsupport::ShellQuote(stored) + " -c copy -metadata:s:v:0 rotate=270",
        dir.File("turned.mp4"));
    ASSERT_TRUE(decoder.LoadFile(turned)) << decoder.LastErrorMessage();
    TVideoStreamInfo video;
    ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.Width, 64);
    EXPECT_EQ(video.Height, 48);
    EXPECT_EQ(video.ShownWidth, 48);
    EXPECT_EQ(video.ShownHeight, 64);
    EXPECT_EQ(video.UprightWidth, 48);
    EXPECT_EQ(video.UprightHeight, 64);
    EXPECT_EQ(video.Turn, "rotated 90 degrees clockwise");

    ASSERT_TRUE(decoder.DecodeNextFrame());
    EXPECT_EQ(decoder.PictureWidth(), 64);  // as decoded
    TBitmap bitmap;
    ASSERT_TRUE(decoder.CopyFrameToBitmap(bitmap)) << decoder.LastErrorMessage();
    ASSERT_EQ(bitmap.Width(), 48);
    ASSERT_EQ(bitmap.Height(), 64);
    const std::vector<uint8_t> shown = ShownByFfmpeg(turned, dir.File("shown.bgr"));
    ASSERT_EQ(shown.size(), 48u * 64 * 3);
    int differing = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 48 * 3; ++x)
            if (std::abs(bitmap.ScanLine(y)[x] - shown[static_cast<size_t>(y) * 48 * 3 + x]) > 8)
                ++differing;
    EXPECT_LT(differing, 48 * 64 * 3 / 50);  // the scalers' rounding aside, the same picture
}

TEST_F(DecoderShownTest, SampleAspectRatioGivesTheShownSize) {
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=720x576:rate=5 -t 0.2 -vf setsar=64/45 -c:v libx264",
        dir.File("pal.mp4"));
    ASSERT_TRUE(decoder.LoadFile(clip)) << decoder.LastErrorMessage();
    TVideoStreamInfo video;
    ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.ShownWidth, 1024);
    EXPECT_EQ(video.ShownHeight, 576);
    EXPECT_EQ(video.UprightWidth, 720);
    EXPECT_EQ(video.Turn, "");
}

// The stream players show is the one described and decoded when none is named: the one marked
// default, even when it is not the first nor the largest.
TEST_F(DecoderShownTest, DefaultVideoStreamIsTheOneShown) {
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i testsrc=size=32x24:rate=25 -t 1 "
        "-map 0:v -map 1:v -c:v libx264 -pix_fmt yuv420p -disposition:v:0 0 "
        "-disposition:v:1 default",
        dir.File("two.mp4"));
    ASSERT_TRUE(decoder.LoadFile(clip)) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.FirstVideoStream(), 0);
    EXPECT_EQ(decoder.DefaultVideoStream(), 1);
    TVideoStreamInfo video;
    ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.Width, 32);
    EXPECT_EQ(video.FrameRateNum, 25);
    ASSERT_TRUE(decoder.DecodeNextFrame());
    EXPECT_EQ(decoder.SelectedStream(), 1);
    EXPECT_EQ(decoder.PictureWidth(), 32);
}

}  // namespace
