// Conversions between ordinary media files, read back by the ffmpeg tools: other containers
// and codecs, stream copy, inputs of several kinds (B-frames with audio, MPEG-2 TS, MJPEG AVI,
// audio-only MP3 and WAV).
#include <fstream>

#include "tests/engine/task/transcode_test_support.h"

using transcodetest::Probe;
using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

class OrdinaryOutputTest : public TranscodeTest {
protected:
    // 2 s of 25 fps H.264 with B-frames and 44.1 kHz AAC in MP4
    static std::string AvClip() {
        return Clip("av.mp4",
                    "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                    "sine=frequency=440:sample_rate=44100 -t 2 -c:v libx264 -preset veryfast "
                    "-bf 2 -pix_fmt yuv420p -c:a aac -shortest");
    }
    static void Convert(const std::string& input, const std::string& output,
                        const std::string& outputOptions, const std::string& inputOptions = "") {
        TCustomFFmpeg task;
        Open(task, input, inputOptions, output, outputOptions);
        task.Transcode();
        EXPECT_TRUE(task.Completed);
    }
    static double Seconds(const std::string& text) { return std::atof(text.c_str()); }
};

TEST_F(OrdinaryOutputTest, ClipWithAudioBecomesMpeg4AndMp2InAvi) {
    const std::string out = File("out.avi");
    Convert(AvClip(), out, "-c:v mpeg4 -q:v 3 -c:a mp2 -b:a 128k");
    EXPECT_EQ(Probe(out, "-select_streams v:0 -show_entries stream=codec_name"), "mpeg4");
    EXPECT_EQ(Probe(out, "-select_streams a:0 -show_entries stream=codec_name"), "mp2");
    EXPECT_EQ(Probe(out, "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "50");
    EXPECT_EQ(Probe(out, "-select_streams a:0 -show_entries stream=sample_rate"), "44100");
    EXPECT_NEAR(Seconds(Probe(out, "-show_entries format=duration")), 2.0, 0.1);
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:0 -> #0:0 (h264 -> mpeg4) (Video)"));
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:1 -> #0:1 (aac -> mp2) (Audio)"));
}

TEST_F(OrdinaryOutputTest, StreamCopyIntoMkvKeepsCodecsAndFrames) {
    const std::string out = File("copy.mkv");
    Convert(AvClip(), out, "-c copy");
    EXPECT_EQ(Probe(out, "-select_streams v:0 -show_entries stream=codec_name"), "h264");
    EXPECT_EQ(Probe(out, "-select_streams a:0 -show_entries stream=codec_name"), "aac");
    EXPECT_EQ(Probe(out, "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "50");
    EXPECT_NEAR(Seconds(Probe(out, "-show_entries format=duration")), 2.0, 0.1);
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:0 -> #0:0 (copy) (Video)"));
    // what the decoded copy shows is the source's picture
    const testsupport::CommandResult check =
        testsupport::Run("ffmpeg -v error -i " + testsupport::ShellQuote(out) + " -f null -");
    EXPECT_EQ(check.output, "");
}

TEST_F(OrdinaryOutputTest, AttachmentsAreCopiedWithTheStreams) {
    const std::string note = File("note.txt");
    std::ofstream(note) << "attached text\n";
    const std::string mkv = Clip(
        "attached.mkv", "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg4 -attach " +
                            testsupport::ShellQuote(note) + " -metadata:s:t mimetype=text/plain");
    const std::string out = File("attached_copy.mkv");
    Convert(mkv, out, "-map 0 -c copy");
    EXPECT_EQ(Probe(out, "-select_streams t:0 -show_entries stream=codec_type"), "attachment");
    EXPECT_EQ(Probe(out, "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "25");
}

TEST_F(OrdinaryOutputTest, MpegTsInputStartsAtZeroInMp4) {
    // MPEG-TS starts its clock at 1.4 s
    const std::string ts = Clip("clip.ts",
                                "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                                "sine=sample_rate=44100 -t 2 -c:v mpeg2video -c:a mp2");
    const std::string out = File("from_ts.mp4");
    Convert(ts, out, "-c:v mpeg4 -c:a aac");
    EXPECT_EQ(Probe(out, "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "50");
    EXPECT_NEAR(Seconds(Probe(out, "-select_streams v:0 -show_entries stream=start_time")), 0.0,
                0.05);
    EXPECT_NEAR(Seconds(Probe(out, "-show_entries format=duration")), 2.0, 0.1);
}

TEST_F(OrdinaryOutputTest, MjpegAviReachesTheFrameRoad) {
    const std::string avi =
        Clip("mjpeg.avi", "-f lavfi -i testsrc=size=160x120:rate=10 -t 2 -c:v mjpeg -q:v 3");
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, avi, "", adapter.OutputName(),
         "-f rawrgb -c:v rawvideo -pix_fmt bgr24 -vf \"scale=80:60\"");
    task.Transcode();
    EXPECT_EQ(recorder.Numbers.size(), 20u);
    EXPECT_EQ(recorder.Width, 80);
    EXPECT_EQ(recorder.Sizes.front(), 80 * 60 * 3);
}

TEST_F(OrdinaryOutputTest, OneInputFeedsTwoOutputsAtOnce) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    const std::string file = File("second_output.avi");
    TCustomFFmpeg task;
    Open(task, AvClip(), "", adapter.OutputName(),
         "-an -f rawrgb -c:v rawvideo -pix_fmt bgr24 -vf \"scale=80:60\"");
    task.ParseOptions("-c:v mpeg4 -c:a mp2");
    ASSERT_EQ(task.OpenOutputFile(file, false), 1) << task.LastError;
    task.Transcode();
    EXPECT_EQ(recorder.Numbers.size(), 50u);
    EXPECT_EQ(recorder.Width, 80);
    EXPECT_EQ(Probe(file, "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "50");
    EXPECT_EQ(Probe(file, "-select_streams v:0 -show_entries stream=width"), "160");
    EXPECT_EQ(Probe(file, "-select_streams a:0 -show_entries stream=codec_name"), "mp2");
}

TEST_F(OrdinaryOutputTest, AudioOnlyMp3BecomesWav) {
    const std::string mp3 =
        Clip("tone.mp3", "-f lavfi -i sine=frequency=1000:sample_rate=44100 -t 3 -c:a libmp3lame");
    const std::string out = File("tone.wav");
    Convert(mp3, out, "-c:a pcm_s16le");
    EXPECT_EQ(Probe(out, "-show_entries stream=codec_name"), "pcm_s16le");
    EXPECT_NEAR(Seconds(Probe(out, "-show_entries format=duration")), 3.0, 0.06);
}

TEST_F(OrdinaryOutputTest, SampleRateChangeKeepsTheDuration) {
    const std::string wav =
        Clip("tone44.wav", "-f lavfi -i sine=frequency=500:sample_rate=44100 -t 2 -c:a pcm_s16le");
    const std::string out = File("tone22.wav");
    Convert(wav, out, "-ar 22050");
    EXPECT_EQ(Probe(out, "-show_entries stream=sample_rate"), "22050");
    EXPECT_NEAR(Seconds(Probe(out, "-show_entries format=duration")), 2.0, 0.02);
    // the frequency is kept: 500 Hz at 22050 Hz is 44.1 samples a period
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:0 -> #0:0 (pcm_s16le -> pcm_s16le) (Audio)"));
}

}  // namespace
