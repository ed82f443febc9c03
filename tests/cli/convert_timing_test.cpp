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

}  // namespace
