// Stepping through video frames forward and backward, seeking, and the current frame's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine/decoder/FFDecode.h"
#include "engine/decoder/FFDecodeDeinterlace.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "platform/Bitmap.h"
#include "tests/engine/decoder/DecoderTestMedia.h"

using decodertest::Media;

namespace {

struct TClip {
    const char* Name;
    std::string (*File)();
    int FrameCount;
    bool EvenlySpaced = true;
};

std::ostream& operator<<(std::ostream& out, const TClip& clip) { return out << clip.Name; }

const TClip kClips[] = {
    {"H264WithBFramesInMp4", [] { return Media().H264Mp4; }, 25},
    {"Mpeg2InTransportStream", [] { return Media().Mpeg2Ts; }, 30},
    {"MjpegInAvi", [] { return Media().MjpegAvi; }, 25},
    {"H264WithMillisecondTimesInMatroska", [] { return Media().H264Mkv; }, 30},
    {"H264WithDroppedFramesInMp4", [] { return Media().GappedMp4; }, 22, false},
};

class DecoderStepTest : public ::testing::TestWithParam<TClip> {
protected:
    static void SetUpTestSuite() { decodertest::LoadDecoderLibraries(); }

    void SetUp() override {
        ASSERT_TRUE(decoder.LoadFile(GetParam().File())) << decoder.LastErrorMessage();
        times = ForwardTimes();
        ASSERT_EQ(static_cast<int>(times.size()), GetParam().FrameCount);
        ASSERT_TRUE(decoder.Seek(0, 0)) << decoder.LastErrorMessage();
    }

    // The times of every frame from the current position to the end.
    std::vector<int64_t> ForwardTimes() {
        std::vector<int64_t> result;
        while (decoder.DecodeNextFrame()) result.push_back(decoder.CurrentFrameTime());
        return result;
    }

    // Decodes from the start up to frame `k` (0 = first).
    void GoToFrame(int k) {
        ASSERT_TRUE(decoder.Seek(0, 0));
        for (int i = 0; i <= k; ++i) ASSERT_TRUE(decoder.DecodeNextFrame()) << i;
        ASSERT_EQ(decoder.CurrentFrameTime(), times[k]);
    }

    TFFDecoder decoder;
    std::vector<int64_t> times;
};

TEST_P(DecoderStepTest, ForwardVisitsEveryFrameInTimeOrderAndEndsAtEof) {
    EXPECT_EQ(times.front(), 0);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]) << i;
    if (GetParam().EvenlySpaced) {
        // The frames are evenly spaced by the stream's frame rate.
        const int64_t frame = decoder.FrameDurationUs();
        EXPECT_NEAR(times.back(), frame * (GetParam().FrameCount - 1), frame / 2);
    }

    // After the seek back to the start the same frames come again, then the end.
    EXPECT_EQ(ForwardTimes(), times);
    EXPECT_EQ(decoder.LastErrorMessage(), "stream eof reached.");
    EXPECT_TRUE(decoder.EndOfFile());
    EXPECT_FALSE(decoder.DecodeNextFrame());
    EXPECT_EQ(decoder.LastErrorMessage(), "stream eof reached.");
}

TEST_P(DecoderStepTest, BackwardGivesThePreviousFrameAndForwardContinues) {
    const int last = GetParam().FrameCount - 1;
    for (int k = 1; k <= last; ++k) {
        GoToFrame(k);
        ASSERT_TRUE(decoder.DecodePreviousFrame()) << k << ": " << decoder.LastErrorMessage();
        EXPECT_EQ(decoder.CurrentFrameTime(), times[k - 1]) << "from frame " << k;
        ASSERT_TRUE(decoder.DecodeNextFrame());
        EXPECT_EQ(decoder.CurrentFrameTime(), times[k]) << "after stepping back from " << k;
    }
}

TEST_P(DecoderStepTest, BackwardRepeatedlyWalksAllFramesInReverse) {
    GoToFrame(GetParam().FrameCount - 1);
    for (int k = GetParam().FrameCount - 2; k >= 0; --k) {
        ASSERT_TRUE(decoder.DecodePreviousFrame()) << k << ": " << decoder.LastErrorMessage();
        ASSERT_EQ(decoder.CurrentFrameTime(), times[k]) << k;
    }
}

TEST_P(DecoderStepTest, BackwardFromTheFirstFrameShowsItAgain) {
    GoToFrame(0);
    ASSERT_TRUE(decoder.DecodePreviousFrame()) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.CurrentFrameTime(), times[0]);
    ASSERT_TRUE(decoder.DecodeNextFrame());
    EXPECT_EQ(decoder.CurrentFrameTime(), times[1]);
}

TEST_P(DecoderStepTest, BackwardAtTheEndOfTheFileGivesTheLastFrames) {
    GoToFrame(GetParam().FrameCount - 1);
    EXPECT_FALSE(decoder.DecodeNextFrame());
    ASSERT_TRUE(decoder.DecodePreviousFrame()) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.CurrentFrameTime(), times[GetParam().FrameCount - 2]);
}

TEST_P(DecoderStepTest, SeekThenForwardReachesTheFirstFrameAtOrAfterTheTarget) {
    for (int flags : {0, AVSEEK_FLAG_BACKWARD}) {
        for (size_t k : {size_t(3), size_t(12), size_t(17), times.size() - 1}) {
            for (int64_t target : {times[k], times[k] - 1, times[k - 1] + 1}) {
                ASSERT_TRUE(decoder.Seek(flags, target)) << decoder.LastErrorMessage();
                do {
                    ASSERT_TRUE(decoder.DecodeNextFrame()) << "target " << target;
                } while (decoder.CurrentFrameTime() < target);
                EXPECT_EQ(decoder.CurrentFrameTime(), times[k])
                    << "flags " << flags << ", target " << target;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, DecoderStepTest, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.Name); });

class DecoderFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { decodertest::LoadDecoderLibraries(); }
    TFFDecoder decoder;
};

TEST_F(DecoderFrameTest, CopyFrameToBitmapGivesTheFramesColours) {
    ASSERT_TRUE(decoder.LoadFile(Media().ColourAvi));
    TBitmap bitmap;
    EXPECT_FALSE(decoder.CopyFrameToBitmap(bitmap));
    EXPECT_EQ(decoder.LastErrorMessage(), "picture not ready, please decode first");

    ASSERT_TRUE(decoder.DecodeNextFrame());
    ASSERT_TRUE(decoder.CopyFrameToBitmap(bitmap)) << decoder.LastErrorMessage();
    ASSERT_EQ(bitmap.Width(), 64);
    ASSERT_EQ(bitmap.Height(), 48);
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{32, 24}, std::pair{63, 47}}) {
        const TColor colour = bitmap.Pixel(x, y);
        EXPECT_NEAR(GetRValue(colour), 0x33, 6) << x << "," << y;
        EXPECT_NEAR(GetGValue(colour), 0x66, 6) << x << "," << y;
        EXPECT_NEAR(GetBValue(colour), 0xCC, 6) << x << "," << y;
    }
}

TEST_F(DecoderFrameTest, StillPictureHasOneFrameAndCannotBeSeeked) {
    ASSERT_TRUE(decoder.LoadFile(Media().StillPng));
    ASSERT_TRUE(decoder.DecodeNextFrame()) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.CurrentFrameTime(), 0);
    // The same picture again, without reading.
    EXPECT_TRUE(decoder.DecodeNextFrame());
    EXPECT_EQ(decoder.CurrentFrameTime(), 0);
    EXPECT_FALSE(decoder.Seek(0, 0));
    EXPECT_EQ(decoder.LastErrorMessage(), "\"png_pipe\" format cannot to be seeked.");
    EXPECT_TRUE(decoder.DecodePreviousFrame());
    TBitmap bitmap;
    EXPECT_TRUE(decoder.CopyFrameToBitmap(bitmap));
    EXPECT_EQ(bitmap.Width(), 64);
}

TEST_F(DecoderFrameTest, StreamSelectionRefusesWhatIsNotVideo) {
    ASSERT_TRUE(decoder.LoadFile(Media().Mp3));
    EXPECT_EQ(decoder.SelectVideoStream(-1), -1);
    EXPECT_EQ(decoder.LastErrorMessage(), "no video stream.");
    EXPECT_EQ(decoder.SelectVideoStream(0), -1);
    EXPECT_EQ(decoder.LastErrorMessage(), "stream #0 is not video stream.");
    EXPECT_EQ(decoder.SelectVideoStream(5), -1);
    EXPECT_EQ(decoder.LastErrorMessage(), "stream index #5 is invalid.");
    EXPECT_FALSE(decoder.DecodeNextFrame());

    ASSERT_TRUE(decoder.LoadFile(Media().Mpeg2Ts));
    EXPECT_EQ(decoder.SelectVideoStream(-1), 0);
    EXPECT_EQ(decoder.FrameRateNum(), 30000);
    EXPECT_EQ(decoder.FrameRateDen(), 1001);
    EXPECT_EQ(decoder.FrameDurationUs(), 33366);
}

TEST_F(DecoderFrameTest, DeinterlaceFilterRemovesTheCombOfTheSecondField) {
    auto makeFrame = [](AVPixelFormat format, int width, int height) {
        AVFrame* frame = libav::av_frame_alloc();
        frame->format = format;
        frame->width = width;
        frame->height = height;
        EXPECT_GE(libav::av_frame_get_buffer(frame, 0), 0);
        return frame;
    };
    AVFrame* source = makeFrame(AV_PIX_FMT_GRAY8, 8, 8);
    AVFrame* target = makeFrame(AV_PIX_FMT_GRAY8, 8, 8);
    // First field 100, second field 200.
    for (int y = 0; y < 8; ++y) {
        std::fill_n(source->data[0] + y * source->linesize[0], 8, y % 2 == 0 ? 100 : 200);
    }
    ASSERT_TRUE(DeinterlaceFrame(*source, *target));
    auto at = [&](int y) { return target->data[0][y * target->linesize[0] + 3]; };
    for (int y : {0, 2, 4, 6}) EXPECT_EQ(at(y), 100) << y;
    // Inside the picture (-1 4 2 4 -1)/8 gives the first field's value back.
    EXPECT_EQ(at(3), 100);
    EXPECT_EQ(at(5), 100);
    // At the edges the missing lines repeat the edge line.
    EXPECT_EQ(at(1), (-100 + 400 + 400 + 400 - 200 + 4) >> 3);
    EXPECT_EQ(at(7), (-200 + 400 + 400 + 800 - 200 + 4) >> 3);

    AVFrame* odd = makeFrame(AV_PIX_FMT_GRAY8, 8, 6);
    EXPECT_FALSE(DeinterlaceFrame(*odd, *odd));
    AVFrame* packed = makeFrame(AV_PIX_FMT_RGB24, 8, 8);
    EXPECT_FALSE(DeinterlaceFrame(*packed, *packed));
    for (AVFrame* frame : {source, target, odd, packed}) libav::av_frame_free(&frame);
}

TEST_F(DecoderFrameTest, DeinterlacingKeepsThePicture) {
    ASSERT_TRUE(decoder.LoadFile(Media().ColourAvi));
    decoder.SetDeinterlace(true);
    // Several pictures through the same deinterlace buffer.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(decoder.DecodeNextFrame());
    // A flat picture stays flat through the line filter.
    EXPECT_TRUE(decoder.Deinterlace());
    TBitmap bitmap;
    ASSERT_TRUE(decoder.CopyFrameToBitmap(bitmap));
    const TColor colour = bitmap.Pixel(10, 11);
    EXPECT_NEAR(GetBValue(colour), 0xCC, 6);
    EXPECT_NEAR(GetRValue(colour), 0x33, 6);
}

}  // namespace
