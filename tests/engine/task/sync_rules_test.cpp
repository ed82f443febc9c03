// Keeping the output in step with the input's timestamps. Audio (-async): a stream that starts
// late gets silence in front even when it is late by less than the drift threshold, and later
// drifts are compensated through the resampler, never by more samples at a time than -async
// says. Video at a variable frame rate (-vsync 2): a gap in the input moves the output's clock
// on instead of repeating pictures, and a picture that comes more than 0.6 frame early goes.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tests/engine/task/transcode_test_support.h"

using transcodetest::TranscodeTest;

namespace {

// The output frames' times, in frames of the output rate, as the frame road's packets carry them.
struct TFrameTimes {
    std::vector<int64_t> Frames;

    void Attach(TFrameOutputAdapter& adapter, int rate) {
        adapter.OnWriteFrame = [this, rate](TFrameOutputAdapter*, POutputFrameInfo info) {
            const AVRational base = info->FormatContext->streams[0]->time_base;
            Frames.push_back(libav::av_rescale_q(info->Packet->pts, base, AVRational{1, rate}));
        };
    }
};

std::vector<int64_t> Counting(int64_t from, int64_t to) {
    std::vector<int64_t> values;
    for (int64_t i = from; i <= to; i++) values.push_back(i);
    return values;
}

class SyncRulesTest : public TranscodeTest {
protected:
    // The compensations the audio sync logged ("compensation:%d").
    std::vector<int> Compensations() {
        std::vector<int> values;
        for (const testsupport::TLoggedLine& line : Lines()) {
            const size_t at = line.Text.find("compensation:");
            if (line.Text.rfind("compensating audio timestamp drift:", 0) == 0 &&
                at != std::string::npos)
                values.push_back(std::atoi(line.Text.c_str() + at + std::strlen("compensation:")));
        }
        return values;
    }
    std::vector<int64_t> VideoFrameTimes(const std::string& clip, const std::string& options,
                                         int rate) {
        TFrameOutputAdapter adapter;
        TFrameTimes times;
        times.Attach(adapter, rate);
        TCustomFFmpeg task;
        Open(task, clip, "", adapter.OutputName(),
             "-f rawrgb -c:v rawvideo -pix_fmt bgr24 " + options);
        EXPECT_EQ(TranscodeError(task), "");
        return times.Frames;
    }
    void ConvertAudio(const std::string& clip, const std::string& out, const std::string& options) {
        TCustomFFmpeg task;
        Open(task, clip, "", out, "-vn -c:a pcm_s16le " + options);
        EXPECT_EQ(TranscodeError(task), "");
    }
};

TEST_F(SyncRulesTest, AudioLateByLessThanTheThresholdGetsSilenceAtTheStart) {
    // 50 ms late: half the drift threshold (0.1 s) and far more than 50 samples
    const std::string clip =
        Clip("slightly_late.mkv",
             "-f lavfi -i testsrc=size=64x48:rate=25:d=1 -itsoffset 0.05 -f lavfi -i "
             "\"aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=0.9\" -c:v mpeg4 -c:a pcm_s16le");
    size_t runs = 0;
    for (const char* async : {"1", "100"}) {
        SCOPED_TRACE(async);
        ConvertAudio(clip, File(std::string("in_step_") + async + ".wav"),
                     std::string("-async ") + async);
        EXPECT_EQ(CountLines("adding 2205 audio samples of silence"), ++runs);
    }
    // only the start is filled: the drift that is left later is not compensated
    EXPECT_TRUE(Compensations().empty());
}

TEST_F(SyncRulesTest, LaterDriftsAreCompensatedAtMostAsyncSamplesAtATime) {
    // late at the start, then 50 ms of audio missing after 1.5 s
    const std::string clip =
        Clip("jump.mkv",
             "-f lavfi -i testsrc=size=64x48:rate=25:d=3 -itsoffset 0.5 -f lavfi -i "
             "\"aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=2.5,"
             "asetpts='PTS+gte(T\\,1.5)*0.05/TB'\" -c:v mpeg4 -c:a pcm_s16le");
    ConvertAudio(clip, File("stretched.wav"), "-async 100");
    EXPECT_EQ(CountLines("adding 22050 audio samples of silence"), 1u);
    const std::vector<int> compensations = Compensations();
    ASSERT_FALSE(compensations.empty());
    for (int compensation : compensations) EXPECT_LE(std::abs(compensation), 100);
    // the gap of 2205 samples is caught up a hundred at a time
    EXPECT_EQ(compensations.front(), 100);
    // no silence is put into the gap, no samples are dropped: it is inside the threshold
    EXPECT_EQ(CountLines("audio samples of silence"), 1u);
    EXPECT_EQ(CountLines("discarding"), 0u);

    // -async 1 keeps the start in step and leaves later drifts alone
    ConvertAudio(clip, File("unstretched.wav"), "-async 1");
    EXPECT_EQ(Compensations().size(), compensations.size());
}

TEST_F(SyncRulesTest, VariableRateMovesTheClockOverAGapInsteadOfRepeating) {
    // 30 fps with half a second missing after frame 15
    const std::string clip =
        Clip("gap.mkv",
             "-f lavfi -i testsrc=size=64x48:rate=30 -t 1.5 -vf "
             "\"setpts='N/(30*TB)+gte(N,15)*0.5/TB'\" -fps_mode vfr -c:v mpeg4");
    std::vector<int64_t> expected = Counting(0, 14);
    const std::vector<int64_t> after = Counting(30, 44);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(VideoFrameTimes(clip, "-vsync 2", 30), expected);
    EXPECT_EQ(CountLines("dup!"), 0u);
    // at a constant rate the gap is filled with repeats
    EXPECT_EQ(VideoFrameTimes(clip, "-vsync 1", 30), Counting(0, 44));
}

TEST_F(SyncRulesTest, VariableRateDropsEarlyPicturesAndCatchesUpWithAGap) {
    // 60 pictures a second into 30: each picture lasts half an output frame, so after the first
    // three the clock runs a frame ahead of every second one, which goes (1.1 frames early
    // would still be kept at a constant rate). After picture 30, 1.8 output frames are missing:
    // the clock moves on to the picture's time, then every second picture goes again.
    const std::string clip =
        Clip("sixty.mkv",
             "-f lavfi -i testsrc=size=64x48:rate=60 -frames:v 60 -vf "
             "\"setpts='N/(60*TB)+gte(N,30)*0.06/TB'\" -fps_mode vfr -c:v mpeg4");
    std::vector<int64_t> expected = Counting(0, 15);
    const std::vector<int64_t> after = Counting(17, 32);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(VideoFrameTimes(clip, "-vsync 2 -r 30", 30), expected);
    EXPECT_EQ(CountLines("*** drop!"), 28u);
}

}  // namespace
