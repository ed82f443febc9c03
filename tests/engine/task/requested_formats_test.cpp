// A sample rate, sample format or pixel format the encoder does not list: the conversion takes
// the nearest one the encoder lists, with a warning, as it does for values left unset.
#include "tests/engine/task/transcode_test_support.h"

using transcodetest::Probe;
using transcodetest::TranscodeTest;

namespace {

class RequestedFormatsTest : public TranscodeTest {
protected:
    void Convert(const std::string& input, const std::string& output,
                 const std::string& outputOptions) {
        TCustomFFmpeg task;
        Open(task, input, "", output, outputOptions);
        EXPECT_EQ(TranscodeError(task), "");
        EXPECT_TRUE(task.Completed);
    }
    static std::string Tone() {
        return Clip("tone.wav", "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 0.5");
    }
};

TEST_F(RequestedFormatsTest, AudioValuesTheEncoderDoesNotListAreReplacedByTheNearest) {
    // MP2 takes 44100 and 48000 among others; 16-bit PCM only 16-bit samples.
    const std::string rate = File("rate.mp2");
    Convert(Tone(), rate, "-c:a mp2 -ar 44000");
    EXPECT_TRUE(Logged(llWarning,
                       "Requested sampling rate unsupported using closest supported "
                       "(44100)"));
    EXPECT_EQ(Probe(rate, "-show_entries stream=sample_rate"), "44100");

    const std::string format = File("format.wav");
    Convert(Tone(), format, "-c:a pcm_s16le -sample_fmt s32");
    EXPECT_TRUE(Logged(llWarning,
                       "Incompatible sample format \"s32\" for codec \"pcm_s16le\", "
                       "auto-selecting format \"s16\""));
    EXPECT_EQ(Probe(format, "-show_entries stream=sample_fmt"), "s16");
}

TEST_F(RequestedFormatsTest, ListedValuesAreKeptWithoutAWord) {
    const std::string out = File("kept.mp2");
    Convert(Tone(), out, "-c:a mp2 -ar 48000 -sample_fmt s16");
    EXPECT_EQ(Probe(out, "-show_entries stream=sample_rate"), "48000");
    EXPECT_FALSE(Logged(llWarning, "closest supported"));
    EXPECT_FALSE(Logged(llWarning, "Incompatible"));
}

TEST_F(RequestedFormatsTest, APixelFormatTheEncoderDoesNotListIsReplaced) {
    const std::string clip =
        Clip("bars.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 0.2 -c:v ffv1");
    const std::string out = File("picked.avi");
    Convert(clip, out, "-c:v mpeg4 -pix_fmt rgb24");
    EXPECT_TRUE(Logged(llWarning,
                       "Incompatible pixel format \"rgb24\" for codec \"mpeg4\", "
                       "auto-selecting format \"yuv420p\""));
    EXPECT_EQ(Probe(out, "-select_streams v:0 -show_entries stream=pix_fmt"), "yuv420p");
}

}  // namespace
