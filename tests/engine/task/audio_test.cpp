// The audio path: volume on every sample format it takes, resampling, keeping audio in step by
// inserting silence, channel maps, a sample rate that changes on the way, and the audio hook.
#include <cstring>

#include "tests/engine/task/transcode_test_support.h"

using transcodetest::Probe;
using transcodetest::TranscodeTest;

namespace {

class AudioTest : public TranscodeTest {
protected:
    // The samples of an audio file as raw values of the format (decoded by the ffmpeg tool).
    template <typename T>
    static std::vector<T> Samples(const std::string& file, const char* format) {
        const std::string raw = file + "." + format + ".raw";
        testsupport::MakeMedia("-i " + testsupport::ShellQuote(file) + " -f " + format, raw);
        const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(raw);
        std::vector<T> samples(bytes.size() / sizeof(T));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(T));
        return samples;
    }
    void Convert(const std::string& input, const std::string& output,
                 const std::string& outputOptions, const std::string& inputOptions = "") {
        TCustomFFmpeg task;
        Open(task, input, inputOptions, output, outputOptions);
        task.Transcode();
        EXPECT_TRUE(task.Completed);
    }
};

TEST_F(AudioTest, VolumeDoublesSixteenBitSamplesWithClipping) {
    // peaks at three quarters of full scale: doubled, they clip on both sides
    const std::string wav = Clip("loud.wav",
                                 "-f lavfi -i \"aevalsrc=0.75*sin(2*PI*300*t):s=8000:d=1\" -c:a "
                                 "pcm_s16le");
    const std::string out = File("louder.wav");
    Convert(wav, out, "-vol 512 -c:a pcm_s16le");
    const std::vector<int16_t> in = Samples<int16_t>(wav, "s16le");
    const std::vector<int16_t> doubled = Samples<int16_t>(out, "s16le");
    ASSERT_EQ(doubled.size(), in.size());
    int clipped = 0;
    for (size_t i = 0; i < in.size(); i++) {
        const int expected = std::clamp(in[i] * 2, -32768, 32767);
        ASSERT_EQ(doubled[i], expected) << "sample " << i;
        if (expected != in[i] * 2) clipped++;
    }
    EXPECT_GT(clipped, 100);
}

TEST_F(AudioTest, VolumeScalesUnsignedEightBitAroundTheMiddle) {
    const std::string wav =
        Clip("u8.wav", "-f lavfi -i \"aevalsrc=0.4*sin(2*PI*200*t):s=8000:d=1\" -c:a pcm_u8");
    const std::string out = File("u8_quarter.wav");
    Convert(wav, out, "-vol 64 -c:a pcm_u8");
    const std::vector<uint8_t> in = Samples<uint8_t>(wav, "u8");
    const std::vector<uint8_t> quieter = Samples<uint8_t>(out, "u8");
    ASSERT_EQ(quieter.size(), in.size());
    for (size_t i = 0; i < in.size(); i++)
        ASSERT_EQ(quieter[i], std::clamp((((in[i] - 128) * 64 + 128) >> 8) + 128, 0, 255));
}

TEST_F(AudioTest, VolumeOnPlanarSamplesIsRefused) {
    const std::string mp3 =
        Clip("tone.mp3", "-f lavfi -i sine=frequency=1000:sample_rate=44100 -t 1 -c:a libmp3lame");
    TCustomFFmpeg task;
    Open(task, mp3, "", File("refused.wav"), "-vol 512");
    EXPECT_EQ(TranscodeError(task),
              "Audio volume adjustment on sample format fltp is not supported.");
    EXPECT_EQ(task.LastError, "Audio volume adjustment on sample format fltp is not supported.");
    EXPECT_FALSE(task.Completed);
    EXPECT_TRUE(task.Run.OpenedEncoders.empty());
    EXPECT_TRUE(task.Run.OpenedDecoders.empty());
}

TEST_F(AudioTest, LateAudioIsPrecededBySilenceWithAsync) {
    // the audio of the file starts half a second after its video
    const std::string mkv =
        Clip("late.mkv",
             "-f lavfi -i testsrc=size=64x48:rate=25:d=2 -itsoffset 0.5 -f lavfi -i "
             "\"aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=1.5\" -c:v mpeg4 -c:a pcm_s16le");
    const std::string out = File("in_step.wav");
    Convert(mkv, out, "-vn -async 1 -c:a pcm_s16le");
    EXPECT_TRUE(Logged(llVerbose, "adding 22050 audio samples of silence"));
    const std::vector<int16_t> samples = Samples<int16_t>(out, "s16le");
    ASSERT_GT(samples.size(), 22050u + 1000);
    for (size_t i = 0; i < 22050; i++) ASSERT_EQ(samples[i], 0) << "sample " << i;
    EXPECT_NE(samples[22050 + 10], 0);
    EXPECT_NEAR(samples.size(), 2 * 44100, 1200);
}

TEST_F(AudioTest, ChannelMapPicksAndSwapsChannels) {
    // left is a tone, right is silent
    const std::string wav = Clip("left.wav",
                                 "-f lavfi -i \"aevalsrc=0.5*sin(2*PI*300*t)|0:s=8000:d=1\" -c:a "
                                 "pcm_s16le");
    const std::string out = File("swapped.wav");
    TCustomFFmpeg task;
    Open(task, wav, "", out, "-map_channel 0.0.1 -map_channel 0.0.0 -c:a pcm_s16le");
    task.Transcode();
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:0 -> #0:0 [ch: 1 0] (pcm_s16le -> pcm_s16le) (Audio)"));
    const std::vector<int16_t> samples = Samples<int16_t>(out, "s16le");
    ASSERT_EQ(samples.size(), 2u * 8000);
    int64_t left = 0, right = 0;
    for (size_t i = 0; i < samples.size(); i += 2) {
        left += std::abs(samples[i]);
        right += std::abs(samples[i + 1]);
    }
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 8000 * 1000);
}

TEST_F(AudioTest, SampleRateChangingOnTheWayMakesANewResampler) {
    // two MP3 streams of different rates one after the other in one file
    const std::string first =
        Clip("first.mp3", "-f lavfi -i sine=sample_rate=44100:d=1 -c:a libmp3lame -write_xing 0");
    const std::string second =
        Clip("second.mp3", "-f lavfi -i sine=sample_rate=22050:d=1 -c:a libmp3lame -write_xing 0");
    const std::string joined = File("changing.mp3");
    testsupport::Run("cat " + testsupport::ShellQuote(first) + " " +
                     testsupport::ShellQuote(second) + " > " + testsupport::ShellQuote(joined));
    const std::string out = File("steady.wav");
    Convert(joined, out, "-ar 44100 -c:a pcm_s16le");
    EXPECT_TRUE(Logged(llInfo,
                       "Input stream #0:0 frame changed from rate:44100 fmt:fltp ch:1 to "
                       "rate:22050 fmt:fltp ch:1"));
    EXPECT_EQ(Probe(out, "-show_entries stream=sample_rate"), "44100");
    // each MP3 brings its encoder delay and padding along
    EXPECT_NEAR(std::atof(Probe(out, "-show_entries format=duration").c_str()), 2.0, 0.15);
}

TEST_F(AudioTest, AudioHookSeesEverySampleAndItsChangesAreEncoded) {
    const std::string wav = Clip("loud.wav",
                                 "-f lavfi -i \"aevalsrc=0.75*sin(2*PI*300*t):s=8000:d=1\" -c:a "
                                 "pcm_s16le");
    const std::string out = File("hooked.wav");
    TCustomFFmpeg task;
    int samples = 0;
    int64_t lastPts = -1;
    bool ordered = true;
    task.Routes.AudioHook = [&](TCustomFFmpeg*, int64_t pts, uint8_t* data, int size, int rate,
                                int channels, AVSampleFormat format) {
        EXPECT_EQ(rate, 8000);
        EXPECT_EQ(channels, 1);
        EXPECT_EQ(format, AV_SAMPLE_FMT_S16);
        ordered = ordered && pts > lastPts;
        lastPts = pts;
        samples += size / 2;
        std::memset(data, 0, size);  // silenced before encoding
    };
    Open(task, wav, "", out, "-c:a pcm_s16le");
    task.Transcode();
    EXPECT_EQ(samples, 8000);
    EXPECT_TRUE(ordered);
    for (int16_t sample : Samples<int16_t>(out, "s16le")) ASSERT_EQ(sample, 0);
}

}  // namespace
