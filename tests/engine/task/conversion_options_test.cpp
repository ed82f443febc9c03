// Options that act while converting: -shortest, -frames, -fs, forced key frames, -aspect,
// -deinterlace, -psnr and -qphist in the report, -dump.
#include <sstream>

#include "tests/engine/task/transcode_test_support.h"

using transcodetest::Probe;
using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

class ConversionOptionsTest : public TranscodeTest {
protected:
    // 2 s of video with 1 s of audio
    static std::string ShortAudioClip() {
        return Clip("short_audio.mkv",
                    "-f lavfi -i testsrc=size=64x48:rate=25:d=2 -f lavfi -i "
                    "sine=sample_rate=8000:d=1 -c:v mpeg4 -c:a pcm_s16le");
    }
    static std::string Pattern() {
        return Clip("pattern.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 2 -c:v mpeg4");
    }
    static double Duration(const std::string& file) {
        return std::atof(Probe(file, "-show_entries format=duration").c_str());
    }
};

TEST_F(ConversionOptionsTest, ShortestEndsWithTheFirstInputToEnd) {
    TCustomFFmpeg task;
    const std::string video = Pattern();
    const std::string audio = Clip("second.wav", "-f lavfi -i sine=sample_rate=8000:d=1");
    ASSERT_GE(task.OpenInputFile(nullptr, video), 0);
    ASSERT_GE(task.OpenInputFile(nullptr, audio), 0);
    task.ParseOptions("-shortest -c:v mpeg4 -c:a pcm_s16le");
    ASSERT_GE(task.OpenOutputFile(File("shortest.mkv"), false), 0);
    task.Transcode();
    EXPECT_LT(Duration(File("shortest.mkv")), 1.3);

    TCustomFFmpeg full;
    Open(full, ShortAudioClip(), "", File("longest.mkv"), "-c:v mpeg4 -c:a pcm_s16le");
    full.Transcode();
    EXPECT_NEAR(Duration(File("longest.mkv")), 2.0, 0.1);
}

TEST_F(ConversionOptionsTest, FramesLimitEveryKindOfStream) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, Pattern(), "", adapter.OutputName(),
         "-vframes 10 -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    task.Transcode();
    EXPECT_EQ(recorder.Numbers.size(), 10u);
    EXPECT_TRUE(task.Completed);

    // a copied stream counts its packets
    const std::string out = File("ten.nut");
    TCustomFFmpeg copy;
    Open(copy, Pattern(), "", out, "-c:v copy -frames:v 10");
    copy.Transcode();
    EXPECT_EQ(Probe(out, "-count_packets -show_entries stream=nb_read_packets"), "10");
}

TEST_F(ConversionOptionsTest, FileSizeLimitStopsFeedingTheOutput) {
    const std::string big = File("big.nut");
    TCustomFFmpeg unlimited;
    Open(unlimited, Pattern(), "", big, "-c:v rawvideo");
    unlimited.Transcode();
    const std::string limited = File("limited.nut");
    TCustomFFmpeg task;
    Open(task, Pattern(), "", limited, "-c:v rawvideo -fs 50000");
    task.Transcode();
    const size_t size = testsupport::ReadFileBytes(limited).size();
    EXPECT_GE(size, 50000u);
    EXPECT_LT(size, testsupport::ReadFileBytes(big).size() / 2);
}

TEST_F(ConversionOptionsTest, ForcedKeyFramesAreIntraPictures) {
    const std::string out = File("keys.nut");
    TCustomFFmpeg task;
    Open(task, Pattern(), "", out, "-c:v mpeg4 -g 1000 -force_key_frames 0.4,1.2");
    task.Transcode();
    std::istringstream frames(
        Probe(out, "-select_streams v:0 -show_entries frame=pict_type -of csv=p=0"));
    std::vector<int> intra;
    int index = 0;
    for (std::string type; std::getline(frames, type); index++)
        if (type.rfind("I", 0) == 0) intra.push_back(index);
    EXPECT_EQ(intra, (std::vector<int>{0, 10, 30}));
}

TEST_F(ConversionOptionsTest, AspectRatioBecomesTheNearestSmallSampleAspect) {
    const std::string clip =
        Clip("vga.nut", "-f lavfi -i testsrc=size=640x480:rate=25 -t 0.2 -c:v mpeg4");
    const std::string out = File("wide.nut");
    TCustomFFmpeg task;
    Open(task, clip, "", out, "-c:v mpeg4 -aspect 1.7777");
    task.Transcode();
    // 1.7777 x 480 / 640 = 1.333275: 4/3 with terms at most 255
    EXPECT_EQ(Probe(out, "-show_entries stream=sample_aspect_ratio"), "4:3");
}

TEST_F(ConversionOptionsTest, DeinterlacingTakesPlanarPicturesOnly) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, Pattern(), "", adapter.OutputName(),
         "-deinterlace -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    task.Transcode();
    EXPECT_EQ(recorder.Numbers.size(), 50u);
    EXPECT_FALSE(Logged(llWarning, "Deinterlacing failed."));

    const std::string rgb =
        Clip("rgb.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 0.2 -c:v ffv1 -pix_fmt bgr0");
    TCustomFFmpeg packed;
    Open(packed, rgb, "", adapter.OutputName(),
         "-deinterlace -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    packed.Transcode();
    EXPECT_EQ(CountLines("Deinterlacing failed."), 5u);
    EXPECT_TRUE(packed.Completed);
}

TEST_F(ConversionOptionsTest, ReportShowsPsnrAndQuantizerHistogram) {
    TCustomFFmpeg task;
    Open(task, Pattern(), "", File("psnr.nut"), "-c:v mpeg4 -psnr -qphist");
    task.Transcode();
    bool found = false;
    for (const testsupport::TLoggedLine& line : Lines()) {
        const size_t psnr = line.Text.find("PSNR=Y:");
        if (line.Text.rfind("frame=   50 fps=", 0) != 0 || psnr == std::string::npos) continue;
        found = line.Text.find(" L") != std::string::npos &&
                line.Text.find("*:", psnr) != std::string::npos;
    }
    EXPECT_TRUE(found);
}

TEST_F(ConversionOptionsTest, PacketDumpShowsEveryPacket) {
    FFLogger().SetLogLevel(llDebug);
    TCustomFFmpeg task;
    Open(task, Pattern(), "", File("dumped.nut"), "-dump -c:v copy");
    task.Transcode();
    EXPECT_GE(CountLines("stream #0:"), 50u);
}

}  // namespace
