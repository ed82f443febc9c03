// clipgif-cli on clips whose timing trips a conversion up: a video that starts long after the
// audio, rates asked for, cuts of transport streams, a cut past the clip's end. The GIF starts
// at the right picture, has the frames the rate gives, and its delays add up to its time.
#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// Probing stops 5 s into a file: a video stream that starts 8 s after the audio is not reached.
TEST(LateVideo, ConvertsFromTheFirstPicture) {
    testsupport::TempDir dir;
    const std::string inputs =
        "-f lavfi -i sine=frequency=440:duration=12 -itsoffset 8 -f lavfi "
        "-i testsrc=size=160x120:rate=25:duration=2 -map 0:a -map 1:v -c:v libx264 "
        "-pix_fmt yuv420p ";
    const std::string clips[] = {
        testsupport::MakeMedia(inputs + "-c:a aac", dir.File("late.ts")),
        testsupport::MakeMedia(inputs + "-c:a libvorbis", dir.File("late.mkv")),
    };
    for (const std::string& clip : clips) {
        SCOPED_TRACE(clip);
        const std::vector<TPixels> pictures =
            DecodeWithFfmpeg(clip, 160, 120, dir.File("source.rgb"), "0:v:0");
        ASSERT_EQ(pictures.size(), 50u);
        for (const char* timing : {"", "--no-timing"}) {
            SCOPED_TRACE(timing);
            std::remove(dir.File("late.gif").c_str());
            const TCliRun run = RunCli(
                std::string("--colors octree ") + timing + " -o late.gif " + ShellQuote(clip),
                dir.Path());
            ASSERT_EQ(run.ExitCode, 0) << run.Err;
            const TGifReadBack gif = ReadGif(dir.File("late.gif"));
            ASSERT_EQ(gif.Pictures.size(), 50u);
            EXPECT_GT(Psnr(gif.Pictures[0], pictures[0]), 30);
            EXPECT_GT(Psnr(gif.Pictures[49], pictures[49]), 30);
            if (*timing == '\0') EXPECT_EQ(gif.TotalDelay(), 200);
        }
    }
}

// --fps N: the clip's length times N frames, the delays adding up to the clip's time, whether
// the rate drops frames or repeats them.
TEST(Rates, FramesAreTheLengthTimesTheRate) {
    testsupport::TempDir dir;
    const std::string four = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=64x48:rate=30 -t 4 -c:v libx264 -pix_fmt yuv420p",
        dir.File("four.mp4"));
    const std::string two = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=64x48:rate=25 -t 2 -c:v libx264 -pix_fmt yuv420p",
        dir.File("two.mp4"));
    struct TCase {
        const std::string* Clip;
        const char* Rate;
        size_t Frames;
        int Delay;
    };
    const TCase cases[] = {
        {&four, "10", 40, 10}, {&four, "12.5", 50, 8}, {&two, "50", 100, 2}, {&two, "20", 40, 5}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Rate) + " " + *c.Clip);
        std::remove(dir.File("rate.gif").c_str());
        const TCliRun run = RunCli(
            std::string("--colors octree --fps ") + c.Rate + " -o rate.gif " + ShellQuote(*c.Clip),
            dir.Path());
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        const TGifReadBack gif = ReadGif(dir.File("rate.gif"));
        EXPECT_EQ(gif.Pictures.size(), c.Frames);
        EXPECT_EQ(gif.Delays, std::vector<int>(c.Frames, c.Delay));
    }
}

// Frames closer together than 2 hundredths give their time to the frame before: no delay is
// shorter, and the delays still add up to the clip's time.
TEST(Rates, NoDelayUnderTwoHundredths) {
    testsupport::TempDir dir;
    // Pairs of pictures 10 ms apart, every 100 ms: 0.92 s.
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=64x48:rate=100 -t 1 -vf select='lt(mod(n\\,10)\\,2)' "
        "-fps_mode vfr -c:v libx264 -pix_fmt yuv420p",
        dir.File("pairs.mp4"));
    for (const char* colors : {"octree", "fitted"}) {
        SCOPED_TRACE(colors);
        std::remove(dir.File("pairs.gif").c_str());
        const TCliRun run = RunCli(
            std::string("--colors ") + colors + " -o pairs.gif " + ShellQuote(clip), dir.Path());
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        const TGifReadBack gif = ReadGif(dir.File("pairs.gif"));
        EXPECT_EQ(gif.Pictures.size(), 10u);
        for (int delay : gif.Delays) EXPECT_GE(delay, 2);
        EXPECT_EQ(gif.TotalDelay(), std::lround(ProbeDuration(clip) * 100));
    }
}

}  // namespace
