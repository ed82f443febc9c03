// Join of inputs, subtitles, -vstats, two-pass encoding, SDP of RTP outputs, timestamp jumps
// and bitstream filters.
#include <fstream>
#include <sstream>

#include "tests/engine/task/transcode_test_support.h"

using transcodetest::Probe;
using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

class JoinAndExtrasTest : public TranscodeTest {
protected:
    static std::string ColourClip(const std::string& name, const std::string& colour) {
        return Clip(name, "-f lavfi -i color=c=" + colour +
                              ":size=64x48:rate=25 -f lavfi -i sine=sample_rate=22050 -t 1 "
                              "-c:v mpeg4 -q:v 2 -c:a pcm_s16le -shortest");
    }
    // Opens both inputs and a joined output.
    static void OpenJoined(TCustomFFmpeg& task, const std::string& output,
                           const std::string& options) {
        ASSERT_GE(task.OpenInputFile(nullptr, ColourClip("red.nut", "red")), 0) << task.LastError;
        ASSERT_GE(task.OpenInputFile(nullptr, ColourClip("blue.nut", "blue")), 0) << task.LastError;
        task.ParseOptions(options);
        ASSERT_EQ(task.OpenOutputFile(output, true), 0) << task.LastError;
        ASSERT_TRUE(task.JoinMode);
        ASSERT_EQ(task.PrepareJoin(), 0) << task.LastError;
    }
    static std::vector<std::string> LinesOf(const std::string& file) {
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(JoinAndExtrasTest, JoinedInputsContinueFrameNumbersAndPictures) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    std::vector<int> reds;
    recorder.Attach(adapter);
    adapter.OnWriteFrame = [&](TFrameOutputAdapter*, POutputFrameInfo info) {
        recorder.Numbers.push_back(info->FrameNumber);
        reds.push_back(info->Packet->data[2]);  // red byte of the first pixel
    };
    TCustomFFmpeg task;
    OpenJoined(task, adapter.OutputName(), "-an -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    EXPECT_EQ(task.Run.StreamsPerInput, 1);
    task.Transcode();
    EXPECT_TRUE(task.Completed);
    EXPECT_EQ(recorder.Headers, 1);
    EXPECT_EQ(recorder.Closes, 1);
    ASSERT_EQ(recorder.Numbers.size(), 50u);
    for (size_t i = 0; i < recorder.Numbers.size(); i++) {
        EXPECT_EQ(recorder.Numbers[i], static_cast<int>(i + 1));
        EXPECT_EQ(reds[i] > 128, i < 25) << "frame " << i + 1;
    }
}

TEST_F(JoinAndExtrasTest, JoinedFileHasContinuousTimestampsAndOneTrailer) {
    const std::string out = File("joined.mkv");
    TCustomFFmpeg task;
    OpenJoined(task, out, "-c:v mpeg4 -c:a pcm_s16le");
    EXPECT_NEAR(task.Run.ProgressDuration, 2000000, 100000);  // the sum of both inputs
    task.Transcode();
    EXPECT_EQ(Probe(out, "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "50");
    EXPECT_NEAR(std::atof(Probe(out, "-show_entries format=duration").c_str()), 2.0, 0.05);
    // the second input's pictures follow the first's: 40 ms apart throughout
    std::istringstream times(
        Probe(out, "-select_streams v:0 -show_entries packet=pts_time -of csv=p=0"));
    double previous = -1;
    int count = 0;
    for (std::string line; std::getline(times, line); count++) {
        const double time = std::atof(line.c_str());
        EXPECT_TRUE(previous < 0 || std::abs(time - previous - 0.04) < 0.002) << line;
        previous = time;
    }
    EXPECT_EQ(count, 50);
    // the audio of both inputs, one after the other
    std::istringstream audio(
        Probe(out, "-select_streams a:0 -show_entries packet=pts_time -of csv=p=0"));
    double lastAudio = 0;
    for (std::string line; std::getline(audio, line);) lastAudio = std::atof(line.c_str());
    EXPECT_GT(lastAudio, 1.8);
}

TEST_F(JoinAndExtrasTest, JoinOfInputsWithDifferentStreamsIsRefused) {
    TCustomFFmpeg task;
    ASSERT_GE(task.OpenInputFile(nullptr, ColourClip("red.nut", "red")), 0);
    const std::string silent =
        Clip("silent.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg4");
    ASSERT_GE(task.OpenInputFile(nullptr, silent), 0);
    const std::string out = File("refused.mkv");
    ASSERT_EQ(task.OpenOutputFile(out, true), 0);
    EXPECT_EQ(task.PrepareJoin(), -1);
    EXPECT_EQ(task.LastError, "Cannot join files with diffrent steams state");
    EXPECT_FALSE(task.JoinMode);
    EXPECT_TRUE(task.OutputFiles.empty());
    EXPECT_TRUE(task.OutputStreams.empty());
    EXPECT_FALSE(testsupport::FileExists(out));  // nothing was written to it
}

TEST_F(JoinAndExtrasTest, SubtitlesAreDecodedAndEncodedAgain) {
    const std::string srt = File("text.srt");
    std::ofstream(srt) << "1\n00:00:00,200 --> 00:00:00,800\nfirst line\n\n"
                          "2\n00:00:01,000 --> 00:00:01,500\nsecond line\n\n";
    const std::string mkv =
        Clip("subtitled.mkv", "-f lavfi -i testsrc=size=64x48:rate=25 -i " +
                                  testsupport::ShellQuote(srt) + " -t 2 -c:v mpeg4 -c:s srt");
    const std::string out = File("resubtitled.mkv");
    TCustomFFmpeg task;
    Open(task, mkv, "", out, "-c:v copy -c:s ass");
    task.Transcode();
    EXPECT_TRUE(Logged(llInfo, " -> ass) (Subtitle)"));
    EXPECT_EQ(Probe(out, "-select_streams s:0 -show_entries stream=codec_name"), "ass");
    const testsupport::CommandResult text = testsupport::Run(
        "ffmpeg -v error -i " + testsupport::ShellQuote(out) + " -map 0:s -f srt -");
    EXPECT_NE(text.output.find("00:00:00,200 --> 00:00:00,800\nfirst line"), std::string::npos)
        << text.output;
    EXPECT_NE(text.output.find("00:00:01,000 --> 00:00:01,500\nsecond line"), std::string::npos)
        << text.output;
}

TEST_F(JoinAndExtrasTest, VideoStatisticsGetALinePerEncodedFrame) {
    const std::string stats = File("vstats.log");
    TCustomFFmpeg task;
    Open(task, ColourClip("red.nut", "red"), "", File("stats.nut"),
         "-an -c:v mpeg4 -vstats_file \"" + stats + "\"");
    task.Transcode();
    const std::vector<std::string> lines = LinesOf(stats);
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines[0].rfind("frame=     1 q= ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" f_size= "), std::string::npos);
    EXPECT_NE(lines[0].find("kB time= 0.040 br= "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("type= I"), std::string::npos);
    EXPECT_NE(lines[1].find("type= P"), std::string::npos);
}

TEST_F(JoinAndExtrasTest, TwoPassEncodingWritesThenReadsItsLog) {
    const std::string prefix = File("twopass");
    const std::string options = "-an -c:v mpeg4 -b:v 200k -passlogfile \"" + prefix + "\" -pass ";
    TCustomFFmpeg first;
    Open(first, ColourClip("red.nut", "red"), "", File("pass1.nut"), options + "1");
    first.Transcode();
    EXPECT_EQ(LinesOf(prefix + "-0.log").size(), 25u);
    TCustomFFmpeg second;
    Open(second, ColourClip("red.nut", "red"), "", File("pass2.nut"), options + "2");
    second.Transcode();
    EXPECT_TRUE(second.Completed);
    EXPECT_EQ(Probe(File("pass2.nut"),
                    "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"),
              "25");

    TCustomFFmpeg missing;
    Open(missing, ColourClip("red.nut", "red"), "", File("pass2b.nut"),
         "-an -c:v mpeg4 -passlogfile \"" + File("none") + "\" -pass 2");
    EXPECT_EQ(TranscodeError(missing),
              "Error reading log file \"" + File("none") + "-0.log\" for pass-2 encoding");
}

TEST_F(JoinAndExtrasTest, RtpOutputsPrintTheirSdp) {
    TCustomFFmpeg task;
    Open(task, ColourClip("red.nut", "red"), "", "rtp://127.0.0.1:47999", "-an -c:v mpeg4 -f rtp");
    task.Transcode();
    bool found = false;
    for (const testsupport::TLoggedLine& line : Lines()) {
        if (line.Text.rfind("SDP:\r\nv=0", 0) == 0)
            found = line.Text.find("m=video 47999") != std::string::npos;
    }
    EXPECT_TRUE(found);
}

TEST_F(JoinAndExtrasTest, TimestampJumpInTransportStreamIsSmoothedOver) {
    const std::string first =
        Clip("part1.ts", "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg2video");
    const std::string second = Clip("part2.ts",
                                    "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg2video "
                                    "-output_ts_offset 21");
    const std::string jumping = File("jumping.ts");
    testsupport::Run("cat " + testsupport::ShellQuote(first) + " " +
                     testsupport::ShellQuote(second) + " > " + testsupport::ShellQuote(jumping));
    FFLogger().SetLogLevel(llDebug);
    const std::string smooth = File("smooth.nut");
    TCustomFFmpeg task;
    Open(task, jumping, "", smooth, "-c:v mpeg4");
    task.Transcode();
    EXPECT_TRUE(Logged(llDebug, "timestamp discontinuity "));
    EXPECT_NEAR(std::atof(Probe(smooth, "-show_entries format=duration").c_str()), 2.0, 0.1);

    const std::string kept = File("kept.nut");
    TCustomFFmpeg copyts;
    Open(copyts, jumping, "-copyts", kept, "-c:v mpeg4");
    copyts.Transcode();
    EXPECT_GT(std::atof(Probe(kept, "-show_entries format=duration").c_str()), 20.0);
}

TEST_F(JoinAndExtrasTest, BitstreamFiltersSeeEveryPacket) {
    const std::string mp4 = Clip("h264.mp4",
                                 "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v libx264 "
                                 "-preset veryfast -pix_fmt yuv420p");
    const std::string out = File("annexb.h264");
    TCustomFFmpeg task;
    Open(task, mp4, "", out, "-c:v copy -bsf:v h264_mp4toannexb,trace_headers");
    task.Transcode();
    EXPECT_EQ(CountLines("Packet: "), 25u);
    EXPECT_EQ(Probe(out, "-count_frames -show_entries stream=nb_read_frames"), "25");
}

}  // namespace
