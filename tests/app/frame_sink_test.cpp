// The frame sink fed by a real frame output adapter through the "rawrgb" output: log lines,
// preview, pixels, frame sizes, short packets and the timing of the document, read back by the
// project's reader and by ffmpeg.
#include <numeric>

#include "tests/app/SinkTestSupport.h"

namespace {

using namespace sinktest;

TEST_F(SinkTest, TwoPixelFrameGoesOverUnchangedWithItsLinesAndPreview) {
    window.Preview = true;
    // bytes 0,0,255 and 255,0,0: blue-green-red order, so red on the left, blue on the right
    Convert({TPixels{0, 0, 255, 255, 0, 0}}, 2, 1);

    const std::vector<std::string> lines = {"Frame output write header",
                                            "FrameOutput write frame #1, size=6, key-frame=1",
                                            "Frame output write close"};
    EXPECT_EQ(window.Lines, lines);
    const std::vector<std::string> calls = {"preview #1 2x1", "show", "busy", "default"};
    EXPECT_EQ(window.Calls, calls);
    EXPECT_EQ(window.Previewed.Pixel(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(window.Previewed.Pixel(1, 0), RGBColor(0, 0, 255));

    ASSERT_EQ(sink.SavedFileName(), dir.File("holiday_(new).gif"));
    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 1);
    EXPECT_EQ(gif.Pixel(0, 0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(gif.Pixel(0, 1, 0), RGBColor(0, 0, 255));
    const auto decoded = DecodeWithFfmpeg(sink.SavedFileName(), 2, 1, dir.File("frames.rgb"));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0], (TPixels{255, 0, 0, 0, 0, 255}));
}

TEST_F(SinkTest, WithoutPreviewEveryFrameStillArrivesWithItsOwnPixels) {
    std::vector<TPixels> frames;
    for (int i = 0; i < 6; ++i) frames.push_back(BandedFrame(16, 8, i));
    Convert(frames, 16, 8);

    EXPECT_TRUE(window.Calls == (std::vector<std::string>{"busy", "default"}));
    EXPECT_TRUE(window.Previewed.Empty());
    ASSERT_EQ(window.Lines.size(), 8u);
    EXPECT_EQ(window.Lines[6], "FrameOutput write frame #6, size=384, key-frame=1");

    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 6);
    const auto decoded = DecodeWithFfmpeg(sink.SavedFileName(), 16, 8, dir.File("frames.rgb"));
    ASSERT_EQ(decoded.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(decoded[i], ToRgb(frames[i]));
        const TPixels& bgr = frames[i];
        for (int x = 0; x < 16; x += 5)
            EXPECT_EQ(gif.Pixel(static_cast<int>(i), x, 7),
                      RGBColor(bgr[(7 * 16 + x) * 3 + 2], bgr[(7 * 16 + x) * 3 + 1],
                               bgr[(7 * 16 + x) * 3]));
    }
}

TEST_F(SinkTest, FramesOfChangingSizeEachKeepTheirSize) {
    TRawRgbOutput output(adapter, 32, 24, {1, 25});
    ASSERT_EQ(output.Start(), 0);
    // The record's size is the stream's; a conversion whose size changes says so per frame.
    TOutputFrameInfo* info = adapter.CurrentFrameInfo();
    ASSERT_EQ(output.Write(SolidFrame(32, 24, 255, 0, 0), 0), 0);
    info->Width = 40;
    ASSERT_EQ(output.Write(SolidFrame(40, 24, 0, 255, 0), 1), 0);
    ASSERT_EQ(output.Finish(), 0) << output.HandlerError();

    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 2);
    EXPECT_EQ(gif.Frame(0).Width(), 32);
    EXPECT_EQ(gif.Frame(1).Width(), 40);
    EXPECT_EQ(gif.Pixel(1, 39, 23), RGBColor(0, 255, 0));
    EXPECT_EQ(gif.image.Width(), 40);
}

// Frames in red, green, blue order, as the fitted colours ask for them, are turned around into
// the pictures' blue, green, red, to the last pixel of every row.
TEST_F(SinkTest, RedFirstFramesKeepTheirColoursToTheLastPixel) {
    TRawRgbOutput output(adapter, 5, 2, {1, 25}, {0, 1}, AV_PIX_FMT_RGB24);
    ASSERT_EQ(output.Start(), 0);
    const TPixels rgb = {255, 0,   0,   0,   255, 0,   0,   0,   255, 255, 255, 0,   0,   255, 255,
                         0,   255, 255, 255, 0,   255, 255, 255, 0,   0,   0,   255, 255, 0,   0};
    ASSERT_EQ(output.Write(rgb, 0), 0);
    ASSERT_EQ(output.Finish(), 0) << output.HandlerError();

    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) {
            const size_t at = 3 * static_cast<size_t>(5 * y + x);
            EXPECT_EQ(gif.Pixel(0, x, y), RGBColor(rgb[at], rgb[at + 1], rgb[at + 2]))
                << x << "," << y;
        }
}

TEST_F(SinkTest, ShortPacketIsSkippedAndItsTimeStaysWithThePreviousFrame) {
    TRawRgbOutput output(adapter, 4, 2, {1, 10});
    ASSERT_EQ(output.Start(), 0);
    ASSERT_EQ(output.Write(SolidFrame(4, 2, 255, 0, 0), 0), 0);
    TPixels shortPacket = SolidFrame(4, 2, 0, 255, 0);
    shortPacket.pop_back();
    ASSERT_EQ(output.Write(shortPacket, 1), 0);
    ASSERT_EQ(output.Write(SolidFrame(4, 2, 0, 0, 255), 2), 0);
    ASSERT_EQ(output.Finish(), 0) << output.HandlerError();

    EXPECT_EQ(window.Lines[2], "FrameOutput write frame #2, size=23, key-frame=1");
    EXPECT_EQ(window.Lines[3], "FrameOutput skipped frame #2: size=23, a 4x2 frame needs 24");
    EXPECT_EQ(sink.SkippedFrames(), 1);
    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 2);
    EXPECT_EQ(gif.Pixel(0, 0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(gif.Pixel(1, 0, 0), RGBColor(0, 0, 255));
    EXPECT_EQ(gif.Delay(0), 20);
    EXPECT_EQ(gif.Delay(1), 10);
}

TEST_F(SinkTest, DelaysFollowTheTimestampsAndAddUpToTheClip) {
    std::vector<TPixels> frames;
    for (int i = 0; i < 30; ++i) frames.push_back(BandedFrame(8, 4, i));
    Convert(frames, 8, 4, {1, 30});  // one second at 30 frames per second

    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 30);
    std::vector<int> delays;
    for (int i = 0; i < gif.Count(); ++i) delays.push_back(gif.Delay(i));
    EXPECT_EQ(std::vector<int>(delays.begin(), delays.begin() + 6),
              (std::vector<int>{3, 3, 4, 3, 3, 4}));
    EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0), 100);
    EXPECT_EQ(DurationsByFfprobe(sink.SavedFileName()), delays);
    ASSERT_NE(gif.Loop(), nullptr);
    EXPECT_EQ(gif.Loop()->Loops(), 0);                                    // for ever
    EXPECT_EQ(testsupport::ReadFileBytes(sink.SavedFileName())[4], '9');  // "GIF89a"
}

// Viewers show a frame of less than 2 hundredths for 10: such a frame gives its time to the
// frame before, and the delays still add up to the clip's time. Whether the GIF is written as
// it goes or saved whole.
TEST_F(SinkTest, FramesShorterThanTwoHundredthsGiveTheirTimeToTheFrameBefore) {
    struct TFrame {
        int64_t Ms;
        uint8_t Red;
    };
    // 10 and 65 come less than 2 hundredths after the frame before; the last, 5 ms long,
    // ends in the hundredth it starts in.
    const TFrame frames[] = {{0, 10}, {10, 20}, {20, 30}, {60, 40}, {65, 50}, {100, 60}, {120, 70}};
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole);
        TFrameSink merging(window);
        merging.Attach(adapter);
        merging.SetInputFileName(dir.File(whole ? "whole.mp4" : "written.mp4"));
        merging.SetKeepFrames(whole);
        TRawRgbOutput output(adapter, 2, 2, {1, 1000});
        ASSERT_EQ(output.Start(), 0);
        for (const TFrame& frame : frames)
            ASSERT_EQ(output.Write(SolidFrame(2, 2, frame.Red, 0, 0), frame.Ms, 5), 0);
        ASSERT_EQ(output.Finish(), 0) << output.HandlerError();

        TReadBack gif(merging.SavedFileName());
        ASSERT_EQ(gif.Count(), 4);
        const uint8_t reds[] = {10, 30, 40, 60};
        const int delays[] = {2, 4, 4, 2};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(gif.Pixel(i, 0, 0), RGBColor(reds[i], 0, 0)) << i;
            EXPECT_EQ(gif.Delay(i), delays[i]) << i;
        }
        EXPECT_EQ(merging.SavedFrames(), 4);
        merging.Detach(adapter);
    }
    // Alone, a frame that short shows for the shortest delay.
    sink.Attach(adapter);
    TRawRgbOutput output(adapter, 2, 2, {1, 1000});
    ASSERT_EQ(output.Start(), 0);
    ASSERT_EQ(output.Write(SolidFrame(2, 2, 255, 0, 0), 0, 5), 0);
    ASSERT_EQ(output.Finish(), 0) << output.HandlerError();
    EXPECT_EQ(TReadBack(sink.SavedFileName()).Delay(0), 2);
}

TEST_F(SinkTest, LoopCountNoLoopAndNoTiming) {
    const std::vector<TPixels> frames = {SolidFrame(2, 2, 255, 0, 0), SolidFrame(2, 2, 0, 0, 255)};
    sink.SetTiming({.Enabled = true, .Looping = true, .LoopCount = 3});
    Convert(frames, 2, 2, {1, 5});
    {
        TReadBack gif(sink.SavedFileName());
        ASSERT_NE(gif.Loop(), nullptr);
        EXPECT_EQ(gif.Loop()->Loops(), 3);
        EXPECT_EQ(gif.Delay(0), 20);
        EXPECT_EQ(gif.Delay(1), 20);  // the last frame lasts as long as the one before
    }

    sink.SetTiming({.Enabled = true, .Looping = false});
    Convert(frames, 2, 2, {1, 5});
    EXPECT_EQ(sink.SavedFileName(), dir.File("holiday_(new_1).gif"));
    {
        TReadBack gif(sink.SavedFileName());
        EXPECT_EQ(gif.Loop(), nullptr);
        EXPECT_EQ(gif.Delay(1), 20);
    }

    // Without timing: the plain document, frames without extensions, version 87a.
    sink.SetTiming({.Enabled = false});
    Convert(frames, 2, 2, {1, 5});
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(sink.SavedFileName());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");
    TReadBack gif(sink.SavedFileName());
    ASSERT_EQ(gif.Count(), 2);
    EXPECT_EQ(gif.Frame(0).Extensions().Count(), 0);
    EXPECT_EQ(gif.Frame(1).Extensions().Count(), 0);
    EXPECT_EQ(gif.Pixel(1, 1, 1), RGBColor(0, 0, 255));
}

TEST_F(SinkTest, OptimisingIsOffUntilAskedFor) {
    // A dot crossing a still background, then a frame like the one before it.
    std::vector<TPixels> frames;
    for (int i = 0; i < 4; ++i) {
        TPixels frame = BandedFrame(16, 8, 0);
        const size_t dot = (4 * 16 + 2 + i * 3) * 3;
        frame[dot] = frame[dot + 1] = frame[dot + 2] = 255;
        frames.push_back(frame);
    }
    frames.push_back(frames.back());
    EXPECT_FALSE(sink.OptimizeFrames());
    Convert(frames, 16, 8);
    const std::string plain = sink.SavedFileName();
    {
        TReadBack gif(plain);
        ASSERT_EQ(gif.Count(), 5);
        for (int i = 0; i < gif.Count(); ++i) EXPECT_EQ(gif.Frame(i).Width(), 16);
    }
    EXPECT_EQ(window.Lines.back(), "Frame output write close");

    sink.SetOptimizeFrames(true);
    window.Lines.clear();
    Convert(frames, 16, 8);
    TReadBack gif(sink.SavedFileName());
    // Later frames are cut down to what changed; the repeated frame is gone, its time given to
    // the frame before it.
    ASSERT_EQ(gif.Count(), 4);
    EXPECT_EQ(gif.Frame(0).Width(), 16);
    for (int i = 1; i < gif.Count(); ++i) EXPECT_LT(gif.Frame(i).Width(), 16) << i;
    EXPECT_EQ(gif.Delay(3), 8);
    EXPECT_LT(testsupport::ReadFileBytes(sink.SavedFileName()).size(),
              testsupport::ReadFileBytes(plain).size());
    // The same pictures.
    EXPECT_EQ(DecodeWithFfmpeg(sink.SavedFileName(), 16, 8, dir.File("a.rgb")).back(),
              DecodeWithFfmpeg(plain, 16, 8, dir.File("b.rgb")).back());
}

TEST(FrameSinkBinding, SinkUnbindsItsAdapterWhenItGoes) {
    TRecordingWindow window;
    TFrameOutputAdapter adapter;
    {
        TFrameSink sink(window);
        sink.Attach(adapter);
        EXPECT_TRUE(adapter.OnWriteHeader && adapter.OnWriteFrame && adapter.OnWriteClose);
    }
    EXPECT_FALSE(adapter.OnWriteHeader || adapter.OnWriteFrame || adapter.OnWriteClose);
    // An adapter that went first is left alone.
    TFrameSink sink(window);
    auto gone = std::make_unique<TFrameOutputAdapter>();
    sink.Attach(*gone);
    gone.reset();
}

}  // namespace
