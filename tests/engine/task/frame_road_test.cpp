// The frame road: a clip converted into raw BGR24 pictures for a live frame output adapter, as
// every GIF the program makes is.
#include "engine/task/FFmpegFrameBufferPool.h"
#include "tests/engine/task/transcode_test_support.h"

using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

const std::string kFrameRoad = "-f rawrgb -c:v rawvideo -pix_fmt bgr24 -vf \"scale=320:240\"";

class FrameRoadTest : public TranscodeTest {};

TEST_F(FrameRoadTest, ClipArrivesAsNumberedBgrFramesBetweenHeaderAndClose) {
    // H.264 with B-frames: pictures come out of the decoder later than their packets go in
    const std::string clip = Clip("bframes.mp4",
                                  "-f lavfi -i testsrc=size=640x480:rate=30 -t 2 -c:v libx264 "
                                  "-preset veryfast -bf 2 -pix_fmt yuv420p");
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, clip, "", adapter.OutputName(), kFrameRoad);
    task.Transcode();

    EXPECT_EQ(recorder.Headers, 1);
    EXPECT_EQ(recorder.Closes, 1);
    EXPECT_EQ(recorder.Width, 320);
    EXPECT_EQ(recorder.Height, 240);
    EXPECT_EQ(recorder.PixelFormat, AV_PIX_FMT_BGR24);
    ASSERT_EQ(recorder.Numbers.size(), 60u);
    for (size_t i = 0; i < recorder.Numbers.size(); i++) {
        EXPECT_EQ(recorder.Numbers[i], static_cast<int>(i + 1));
        EXPECT_EQ(recorder.Sizes[i], 320 * 240 * 3);
    }
    EXPECT_TRUE(task.Completed);
    // decoded pictures came from a few reused buffers, not one allocation each
    ASSERT_TRUE(task.InputStreams[0].FrameBufferPool);
    EXPECT_LT(task.InputStreams[0].FrameBufferPool->Allocations(), 30);
    EXPECT_TRUE(task.Run.OpenedEncoders.empty());
    EXPECT_TRUE(task.Run.OpenedDecoders.empty());
    EXPECT_TRUE(Logged(llInfo, "Stream mapping:"));
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:0 -> #0:0 (h264 -> rawvideo) (Video)"));
}

TEST_F(FrameRoadTest, TestPatternColourArrivesAsItsBgrBytes) {
    const std::string clip =
        Clip("colour.nut",
             "-f lavfi -i color=c=0x3060C0:size=640x480:rate=30 -t 0.5 -c:v mpeg4 "
             "-q:v 1");
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, clip, "", adapter.OutputName(), kFrameRoad);
    task.Transcode();
    ASSERT_EQ(recorder.FirstFrame.size(), 320u * 240 * 3);
    // pixel (100, 50), bytes in blue, green, red order
    const uint8_t* pixel = &recorder.FirstFrame[(50 * 320 + 100) * 3];
    EXPECT_NEAR(pixel[0], 0xC0, 6);
    EXPECT_NEAR(pixel[1], 0x60, 6);
    EXPECT_NEAR(pixel[2], 0x30, 6);
}

// The first picture of `clip` scaled to `size` (W:H) and turned into RGB in one step of the
// scaler, as the ffmpeg tool gives it.
std::vector<uint8_t> ToolPicture(const std::string& clip, const std::string& size,
                                 const std::string& output) {
    testsupport::MakeMedia("-i " + testsupport::ShellQuote(clip) + " -vf scale=" + size +
                               " -pix_fmt rgb24 -frames:v 1 -f rawvideo",
                           output);
    return testsupport::ReadFileBytes(output);
}

TEST_F(FrameRoadTest, ScaledPicturesAreTheScalersSingleStepBitForBit) {
    // Fine detail and colour edges everywhere; made smaller at even widths (scaled and turned
    // into RGB in two steps), at an odd width and larger (one step).
    const std::string clip = Clip("detail.mp4",
                                  "-f lavfi -i testsrc2=size=640x480:rate=25 -frames:v 2 "
                                  "-c:v libx264 -pix_fmt yuv420p");
    for (const std::string size : {"320:240", "200:150", "638:400", "321:240", "800:600"}) {
        TFrameOutputAdapter adapter;
        TFrameRecorder recorder;
        recorder.Attach(adapter);
        TCustomFFmpeg task;
        Open(task, clip, "", adapter.OutputName(),
             "-f rawrgb -c:v rawvideo -pix_fmt rgb24 -vf \"scale=" + size + "\"");
        task.Transcode();
        const std::vector<uint8_t> expected = ToolPicture(clip, size, File("tool.rgb"));
        ASSERT_EQ(recorder.FirstFrame.size(), expected.size()) << size;
        EXPECT_TRUE(recorder.FirstFrame == expected) << size;
    }
}

}  // namespace
