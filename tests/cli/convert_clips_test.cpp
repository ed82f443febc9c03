// clipgif-cli FILE on clips of many kinds: the GIF has the clip's frames at the clip's size,
// its delays add up to the clip's time, it loops, its pictures are the clip's (mean PSNR), and
// the project's reader and ffmpeg read the same pictures and delays back from it.
#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

struct TClipCase {
    const char* File;
    const char* MakeArgs;  // ffmpeg's arguments before the output name
    int Width;
    int Height;
    int Frames;
    bool Still;  // a picture without a duration of its own
};

void PrintTo(const TClipCase& clip, std::ostream* os) { *os << clip.File; }

const TClipCase kClips[] = {
    // H.264 with B-frames, and audio
    {"clip.mp4",
     "-f lavfi -i testsrc2=size=160x120:rate=30 -f lavfi -i sine=frequency=440 -t 2 "
     "-c:v libx264 -bf 2 -pix_fmt yuv420p -c:a aac -shortest",
     160, 120, 60, false},
    {"clip.webm", "-f lavfi -i testsrc2=size=160x120:rate=25 -t 2 -c:v libvpx -b:v 1M", 160, 120,
     50, false},
    // 29.97 frames per second
    {"clip.ts",
     "-f lavfi -i testsrc2=size=160x120:rate=30000/1001 -t 2 -c:v mpeg2video -q:v 2 -f mpegts", 160,
     120, 60, false},
    // odd width and height, full-range YUV
    {"clip.avi",
     "-f lavfi -i testsrc2=size=160x120:rate=25 -t 2 -vf scale=157:117 -c:v mjpeg -q:v 2 "
     "-pix_fmt yuvj420p",
     157, 117, 50, false},
    // variable frame rate: five frames of each ten kept, a still picture between them; the
    // GIF has the clip's 30 frames, each held for as long as the clip holds it
    {"clip.mkv",
     "-f lavfi -i testsrc2=size=160x120:rate=30 -t 2 -vf select='lt(mod(n\\,10)\\,5)' "
     "-fps_mode vfr -c:v libx264 -pix_fmt yuv420p",
     160, 120, 30, false},
    {"anim.gif", "-f lavfi -i testsrc2=size=120x90:rate=10 -t 1", 120, 90, 10, false},
    {"still.png", "-f lavfi -i testsrc2=size=120x90 -frames:v 1", 120, 90, 1, true},
};

class ConvertClip : public ::testing::TestWithParam<TClipCase> {};

TEST_P(ConvertClip, PlaysLikeTheClip) {
    const TClipCase& clip = GetParam();
    testsupport::TempDir dir;
    const std::string source = testsupport::MakeMedia(clip.MakeArgs, dir.File(clip.File));
    const std::string base = std::string(clip.File).substr(0, std::string(clip.File).find('.'));
    const std::string expected = dir.File(base + "_(new).gif");

    const TCliRun run = RunCli(ShellQuote(source), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const std::vector<TSavedLine> saved = SavedLines(run.Out);
    ASSERT_EQ(saved.size(), 1u) << run.Out;
    EXPECT_EQ(saved[0].Path, expected);
    EXPECT_EQ(saved[0].Frames, clip.Frames);
    EXPECT_EQ(saved[0].Width, clip.Width);
    EXPECT_EQ(saved[0].Height, clip.Height);
    EXPECT_EQ(saved[0].Bytes, static_cast<long long>(testsupport::ReadFileBytes(expected).size()));

    // Read back by the project's reader.
    const TGifReadBack gif = ReadGif(expected);
    EXPECT_EQ(gif.Width, clip.Width);
    EXPECT_EQ(gif.Height, clip.Height);
    ASSERT_EQ(static_cast<int>(gif.Pictures.size()), clip.Frames);
    EXPECT_TRUE(gif.Loops);
    EXPECT_EQ(gif.LoopCount, 0);
    for (int delay : gif.Delays) EXPECT_GT(delay, 0);
    if (!clip.Still) {
        const double duration = ProbeDuration(source);
        EXPECT_NEAR(gif.TotalDelay(), std::lround(duration * 100), 1) << duration;
    }

    // Read back by ffmpeg: the same pictures and delays.
    const std::vector<TPixels> decoded =
        DecodeWithFfmpeg(expected, clip.Width, clip.Height, dir.File("gif.rgb"));
    ASSERT_EQ(decoded.size(), gif.Pictures.size());
    for (size_t i = 0; i < decoded.size(); ++i)
        EXPECT_TRUE(decoded[i] == gif.Pictures[i]) << "frame " << i;
    std::vector<int> delays;
    for (double duration : ProbeVideo(expected, "packet=duration"))
        delays.push_back(static_cast<int>(duration));
    EXPECT_EQ(delays, gif.Delays);

    // The clip's own pictures, each frame against the one shown at its time.
    const std::vector<TPixels> pictures =
        DecodeWithFfmpeg(source, clip.Width, clip.Height, dir.File("source.rgb"));
    const std::vector<double> times = ProbeVideo(source, "frame=best_effort_timestamp_time");
    ASSERT_EQ(pictures.size(), times.size());
    const std::vector<size_t> matches = SourceFrameOfEach(gif, times);
    EXPECT_GT(MeanPsnr(gif, pictures, matches), 30);
}

INSTANTIATE_TEST_SUITE_P(Clips, ConvertClip, ::testing::ValuesIn(kClips),
                         [](const ::testing::TestParamInfo<TClipCase>& info) {
                             std::string name = info.param.File;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

}  // namespace
