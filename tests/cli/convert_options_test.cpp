// clipgif-cli's settings on real conversions: the cut, the names of the results, -o, the frame
// size, the frame rate, looping and timing, dithering.
#include <numeric>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// A 4 s clip at 30 frames per second whose key frames are 1.6 s apart, so that 1 s is not
// one: a cut has to decode its way from the key frame before it.
std::string MakeCutClip(const testsupport::TempDir& dir) {
    return testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=96x72:rate=30 -t 4 -c:v libx264 -g 48 -keyint_min 48 "
        "-sc_threshold 0 -bf 2 -pix_fmt yuv420p",
        dir.File("cut.mp4"));
}

// The source picture most like `picture`.
size_t MostAlike(const TPixels& picture, const std::vector<TPixels>& source) {
    size_t best = 0;
    for (size_t i = 1; i < source.size(); ++i)
        if (Psnr(picture, source[i]) > Psnr(picture, source[best])) best = i;
    return best;
}

TEST(CliConvert, CutGivesItsFramesFromThePictureAtItsStart) {
    testsupport::TempDir dir;
    const std::string clip = MakeCutClip(dir);
    const TCliRun run = RunCli("--start 1 --end 2.5 " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const TGifReadBack gif = ReadGif(dir.File("cut_(new).gif"));
    ASSERT_EQ(gif.Pictures.size(), 45u);
    EXPECT_EQ(gif.TotalDelay(), 150);

    const std::vector<TPixels> source = DecodeWithFfmpeg(clip, 96, 72, dir.File("source.rgb"));
    ASSERT_EQ(source.size(), 120u);
    // Every frame is the clip's picture 1 s (30 frames) later; the pictures next to it differ.
    for (size_t i = 0; i < gif.Pictures.size(); ++i)
        EXPECT_EQ(MostAlike(gif.Pictures[i], source), 30 + i) << "frame " << i;
    EXPECT_GT(Psnr(gif.Pictures[0], source[30]), 30);

    // The same cut in the other notation, and a start without an end.
    const TCliRun clock =
        RunCli("--start 00:01 --end 0:02.500 -o clock.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(clock.ExitCode, 0) << clock.Err;
    EXPECT_TRUE(ReadGif(dir.File("clock.gif")).Pictures == gif.Pictures);
    const TCliRun tail = RunCli("--start 3.5 -o tail.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(tail.ExitCode, 0) << tail.Err;
    const TGifReadBack rest = ReadGif(dir.File("tail.gif"));
    ASSERT_EQ(rest.Pictures.size(), 15u);
    EXPECT_EQ(MostAlike(rest.Pictures[0], source), 105u);
    // An end alone keeps the beginning.
    const TCliRun head = RunCli("--end 0.5 -o head.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(head.ExitCode, 0) << head.Err;
    const TGifReadBack start = ReadGif(dir.File("head.gif"));
    ASSERT_EQ(start.Pictures.size(), 15u);
    EXPECT_EQ(MostAlike(start.Pictures[0], source), 0u);
}

TEST(CliConvert, NamesNeverReplaceAFile) {
    testsupport::TempDir dir;
    const std::string gif = testsupport::MakeMedia("-f lavfi -i testsrc2=size=64x48:rate=10 -t 0.5",
                                                   dir.File("anim.gif"));
    const std::vector<uint8_t> original = testsupport::ReadFileBytes(gif);

    const TCliRun first = RunCli(ShellQuote(gif), dir.Path());
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    const TCliRun second = RunCli(ShellQuote(gif), dir.Path());
    ASSERT_EQ(second.ExitCode, 0) << second.Err;
    EXPECT_EQ(SavedLines(first.Out)[0].Path, dir.File("anim_(new).gif"));
    EXPECT_EQ(SavedLines(second.Out)[0].Path, dir.File("anim_(new_1).gif"));
    EXPECT_EQ(testsupport::ReadFileBytes(gif), original);
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::set<std::string>{"anim.gif", "anim_(new).gif", "anim_(new_1).gif"}));

    // -o names the file; one that exists is left as it is and the run fails.
    const TCliRun chosen = RunCli("-o chosen.gif " + ShellQuote(gif), dir.Path());
    ASSERT_EQ(chosen.ExitCode, 0) << chosen.Err;
    EXPECT_EQ(SavedLines(chosen.Out)[0].Path, "chosen.gif");
    const std::vector<uint8_t> made = testsupport::ReadFileBytes(dir.File("chosen.gif"));
    const TCliRun again = RunCli("-o chosen.gif " + ShellQuote(gif), dir.Path());
    EXPECT_EQ(again.ExitCode, 1);
    EXPECT_EQ(again.Err, "chosen.gif: File exists (it is never replaced)\n");
    EXPECT_EQ(again.Out, "");
    EXPECT_EQ(testsupport::ReadFileBytes(dir.File("chosen.gif")), made);
    const TCliRun input = RunCli("-o anim.gif " + ShellQuote(gif), dir.Path());
    EXPECT_EQ(input.ExitCode, 1);
    EXPECT_EQ(testsupport::ReadFileBytes(gif), original);
    EXPECT_EQ(FolderNames(dir.Path()).size(), 4u);
}

TEST(CliConvert, SizesAndRates) {
    testsupport::TempDir dir;
    // Pictures stored 128x48 whose pixels show half as wide as tall: 4:3 on screen.
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=128x96:rate=60 -t 1 -vf scale=128:48,setsar=1/2 -c:v libx264 "
        "-pix_fmt yuv420p",
        dir.File("clip.mp4"));
    const auto convert = [&](const std::string& options, const std::string& output) {
        const TCliRun run = RunCli(options + " -o " + output + " " + ShellQuote(clip), dir.Path());
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        return ReadGif(dir.File(output));
    };
    // Its own size as shown (GIF pixels are square); 60 frames a second become 50, each shown
    // 2 hundredths: a second's worth.
    const TGifReadBack own = convert("", "own.gif");
    EXPECT_EQ(own.Width, 128);
    EXPECT_EQ(own.Height, 96);
    EXPECT_EQ(own.Pictures.size(), 50u);
    EXPECT_EQ(own.Delays, std::vector<int>(own.Pictures.size(), 2));
    // A size by name and as WxH.
    const TGifReadBack named = convert("--size qqvga", "named.gif");
    EXPECT_EQ(named.Width, 160);
    EXPECT_EQ(named.Height, 120);
    const TGifReadBack given = convert("-s 40x30", "given.gif");
    EXPECT_EQ(given.Width, 40);
    EXPECT_EQ(given.Height, 30);
    // A width: the height follows the picture as shown (4:3), not as stored.
    const TGifReadBack wide = convert("--width 64", "wide.gif");
    EXPECT_EQ(wide.Width, 64);
    EXPECT_EQ(wide.Height, 48);
    // A rate asked for: the clip's length times the rate.
    const TGifReadBack slow = convert("-r 10", "slow.gif");
    EXPECT_EQ(slow.Pictures.size(), 10u);
    EXPECT_EQ(slow.Delays, std::vector<int>(slow.Pictures.size(), 10));
}

TEST(CliConvert, LoopingTimingAndDithering) {
    testsupport::TempDir dir;
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=64x48:rate=20 -t 0.5 -c:v mjpeg", dir.File("clip.avi"));
    const auto convert = [&](const std::string& options, const std::string& output) {
        const TCliRun run = RunCli(options + " -o " + output + " " + ShellQuote(clip), dir.Path());
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        return ReadGif(dir.File(output));
    };
    // Every frame whole: ten frames of 5 hundredths.
    const TGifReadBack thrice = convert("--colors octree --loop 3", "thrice.gif");
    EXPECT_TRUE(thrice.Loops);
    EXPECT_EQ(thrice.LoopCount, 3);
    EXPECT_EQ(thrice.Delays, std::vector<int>(10, 5));
    const TGifReadBack once = convert("--colors octree --no-loop", "once.gif");
    EXPECT_FALSE(once.Loops);
    EXPECT_EQ(once.Delays, std::vector<int>(10, 5));
    // The plain document: no delays, no looping, the same pictures.
    const TGifReadBack plain = convert("--colors octree --no-timing", "plain.gif");
    EXPECT_FALSE(plain.Loops);
    EXPECT_EQ(plain.Delays, std::vector<int>(10, -1));
    EXPECT_TRUE(plain.Pictures == once.Pictures);

    const TGifReadBack dithered =
        convert("--colors octree --dither floyd-steinberg", "dithered.gif");
    ASSERT_EQ(dithered.Pictures.size(), once.Pictures.size());
    EXPECT_FALSE(dithered.Pictures == once.Pictures);
    EXPECT_GT(Psnr(dithered.Pictures[0], once.Pictures[0]), 25);

    // The fitted colours: frames that change nothing give their time to the frame before, so
    // the delays still add up to the clip's half second; without timing the frames keep the
    // control extensions their transparency needs, with no delay.
    const TGifReadBack fitted = convert("--loop 3", "fitted.gif");
    EXPECT_EQ(fitted.LoopCount, 3);
    EXPECT_EQ(std::accumulate(fitted.Delays.begin(), fitted.Delays.end(), 0), 50);
    const TGifReadBack fittedPlain = convert("--no-timing", "fitted-plain.gif");
    EXPECT_FALSE(fittedPlain.Loops);
    EXPECT_EQ(fittedPlain.Delays, std::vector<int>(fittedPlain.Pictures.size(), 0));
    EXPECT_TRUE(fittedPlain.Pictures == fitted.Pictures);
}

}  // namespace

namespace {

using namespace clitest;

TEST(CliConsole, ProgressBarOnlyOnATerminal) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=32x24:rate=10 -t 0.5 -c:v mjpeg",
                           dir.File("a.avi"));
    // `script` gives the program a terminal; what it writes there comes back on its stdout.
    const auto onTerminal = [&](const std::string& options) {
        return testsupport::Run("cd " + ShellQuote(dir.Path()) + " && script -qec " +
                                ShellQuote(Cli() + " " + options + " a.avi") +
                                " /dev/null </dev/null")
            .output;
    };
    const std::string shown = onTerminal("-o bar.gif");
    const size_t bar = shown.find("100% [");
    ASSERT_NE(bar, std::string::npos) << shown;
    const size_t saved = shown.find("Saved bar.gif (");
    ASSERT_NE(saved, std::string::npos) << shown;
    EXPECT_NE(shown.find(" frames, 32x24, ", saved), std::string::npos) << shown;
    // One line, taken away before the saved line.
    const std::string line = shown.substr(bar, saved - bar);
    EXPECT_NE(line.find(" 5 frames "), std::string::npos) << line;
    EXPECT_NE(line.find(" fps "), std::string::npos) << line;
    EXPECT_NE(line.find("0:00 left\r\x1b[K"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;

    EXPECT_EQ(onTerminal("-q -o quiet.gif"), "");
    EXPECT_TRUE(testsupport::FileExists(dir.File("quiet.gif")));
}

TEST(CliConsole, VerboseShowsTheLogAsTheDesktopProgramDoes) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=32x24:rate=10 -t 0.5 -c:v mjpeg",
                           dir.File("a.avi"));
    const TCliRun run = RunCli("-v a.avi", dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    std::istringstream lines(run.Err);
    std::string line;
    int engineLines = 0;
    std::vector<std::string> sinkLines;
    while (std::getline(lines, line)) {
        unsigned threadId = 0;
        int level = -1;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "#%u.%d: %n", &threadId, &level, &consumed) == 2 &&
            consumed > 0) {
            EXPECT_GE(level, 0);
            EXPECT_LE(level, 7);
            ++engineLines;
        } else {
            sinkLines.push_back(line);
        }
    }
    EXPECT_GT(engineLines, 3);
    const std::vector<std::string> expected = {"Frame output write header",
                                               "FrameOutput write frame #1, size=2304, key-frame=1",
                                               "FrameOutput write frame #2, size=2304, key-frame=1",
                                               "FrameOutput write frame #3, size=2304, key-frame=1",
                                               "FrameOutput write frame #4, size=2304, key-frame=1",
                                               "FrameOutput write frame #5, size=2304, key-frame=1",
                                               "Frame output write close"};
    EXPECT_EQ(sinkLines, expected) << run.Err;
    EXPECT_NE(run.Err.find(": Input #0, avi, from 'a.avi':"), std::string::npos) << run.Err;
}

}  // namespace
