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
            if (*timing == '\0') {
                EXPECT_EQ(gif.TotalDelay(), 200);
            }
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

// A cut starts at the first picture at or after its start and lasts its length, on a transport
// stream of reordered pictures (where a seek lands between key frames) as on MP4.
TEST(Cuts, StartAtTheirPictureOnEveryContainer) {
    testsupport::TempDir dir;
    const std::string picture =
        "-f lavfi -i testsrc2=size=64x48:rate=30000/1001 -t 4 -c:v libx264 -bf 2 -g 30 "
        "-pix_fmt yuv420p ";
    const std::string clips[] = {testsupport::MakeMedia(picture, dir.File("cut.ts")),
                                 testsupport::MakeMedia(picture, dir.File("cut.mp4"))};
    struct TCut {
        const char* Options;
        double Start;
        double End;
    };
    const TCut cuts[] = {{"--start 1 --end 2", 1, 2},
                         {"--start 0.5 --end 2", 0.5, 2},
                         {"--start 2.5", 2.5, 4.1},
                         {"--start 0.1 --end 0.5", 0.1, 0.5}};
    for (const std::string& clip : clips) {
        const std::vector<TPixels> pictures =
            DecodeWithFfmpeg(clip, 64, 48, dir.File("source.rgb"));
        const std::vector<double> times = ProbeVideo(clip, "frame=best_effort_timestamp_time");
        ASSERT_EQ(pictures.size(), times.size());
        for (const TCut& cut : cuts) {
            SCOPED_TRACE(clip + " " + cut.Options);
            std::vector<size_t> inside;
            for (size_t i = 0; i < times.size(); ++i)
                if (times[i] - times[0] >= cut.Start - 1e-6 && times[i] - times[0] < cut.End)
                    inside.push_back(i);
            std::remove(dir.File("cut.gif").c_str());
            const TCliRun run = RunCli(
                std::string("--colors octree ") + cut.Options + " -o cut.gif " + ShellQuote(clip),
                dir.Path());
            ASSERT_EQ(run.ExitCode, 0) << run.Err;
            const TGifReadBack gif = ReadGif(dir.File("cut.gif"));
            ASSERT_EQ(gif.Pictures.size(), inside.size());
            EXPECT_GT(Psnr(gif.Pictures.front(), pictures[inside.front()]), 30);
            EXPECT_GT(Psnr(gif.Pictures.back(), pictures[inside.back()]), 30);
            EXPECT_NEAR(gif.TotalDelay(), inside.size() * 100 / 29.97, 1);
        }
    }
}

}  // namespace
