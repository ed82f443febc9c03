// clipgif-cli --optimize: a far smaller file that shows the same pictures for the same time, as
// the project's reader composes them and as ffmpeg decodes them; its memory does not grow with
// the clip's length.
#include <sys/resource.h>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// The picture on screen in each hundredth of a second.
std::vector<const TPixels*> Timeline(const std::vector<TPixels>& pictures,
                                     const std::vector<int>& delays) {
    std::vector<const TPixels*> timeline;
    for (size_t i = 0; i < pictures.size() && i < delays.size(); ++i)
        timeline.insert(timeline.end(), static_cast<size_t>(std::max(delays[i], 0)), &pictures[i]);
    return timeline;
}

bool SameTimeline(const std::vector<const TPixels*>& a, const std::vector<const TPixels*>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (*a[i] != *b[i]) return false;
    return true;
}

// The peak resident memory, in KB, of clipgif-cli converting with `args` in `folder` (0 when it
// failed).
long PeakMemoryKb(const std::vector<std::string>& args, const std::string& folder) {
    const TOutputFile nowhere("/dev/null");
    const pid_t pid = SpawnCli(args, folder, nowhere.Fd(), nowhere.Fd());
    int status = 0;
    rusage usage{};
    if (pid <= 0 || wait4(pid, &status, 0, &usage) != pid || ExitStatusOf(status) != 0) return 0;
    return usage.ru_maxrss;
}

std::vector<int> Durations(const std::string& gif) {
    std::vector<int> delays;
    for (double duration : ProbeVideo(gif, "packet=duration"))
        delays.push_back(static_cast<int>(duration));
    return delays;
}

TEST(CliOptimize, SmallerFileSamePictures) {
    testsupport::TempDir dir;
    // A small box crossing still colour bars, stored without loss so the bars stay still.
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i smptebars=size=160x120:rate=25 -f lavfi -i color=c=red:size=12x12:rate=25 "
        "-filter_complex \"[0][1]overlay=x='10+t*60':y=50\" -t 2 -c:v ffv1",
        dir.File("box.mkv"));
    const TCliRun plainRun = RunCli("--colors octree -o plain.gif box.mkv", dir.Path());
    ASSERT_EQ(plainRun.ExitCode, 0) << plainRun.Err;
    const TCliRun smallRun = RunCli("--colors octree --optimize -o small.gif box.mkv", dir.Path());
    ASSERT_EQ(smallRun.ExitCode, 0) << smallRun.Err;
    const std::string plainFile = dir.File("plain.gif");
    const std::string smallFile = dir.File("small.gif");

    const size_t plainBytes = testsupport::ReadFileBytes(plainFile).size();
    const size_t smallBytes = testsupport::ReadFileBytes(smallFile).size();
    EXPECT_EQ(static_cast<long long>(smallBytes), SavedLines(smallRun.Out)[0].Bytes);
    EXPECT_LE(smallBytes * 10, plainBytes * 4) << smallBytes << " of " << plainBytes;

    // The project's reader, every frame composed with its disposal and transparency.
    const TGifReadBack plain = ReadGif(plainFile);
    const TGifReadBack small = ReadGif(smallFile);
    ASSERT_EQ(plain.Pictures.size(), 50u);
    EXPECT_EQ(small.Width, plain.Width);
    EXPECT_EQ(small.Height, plain.Height);
    EXPECT_TRUE(small.Loops);
    EXPECT_EQ(small.TotalDelay(), plain.TotalDelay());
    EXPECT_TRUE(SameTimeline(Timeline(small.Pictures, small.Delays),
                             Timeline(plain.Pictures, plain.Delays)));

    // ffmpeg's decoder.
    const std::vector<TPixels> plainDecoded =
        DecodeWithFfmpeg(plainFile, plain.Width, plain.Height, dir.File("plain.rgb"));
    const std::vector<TPixels> smallDecoded =
        DecodeWithFfmpeg(smallFile, small.Width, small.Height, dir.File("small.rgb"));
    const auto smallTimeline = Timeline(smallDecoded, Durations(smallFile));
    EXPECT_EQ(smallTimeline.size(), 200u);
    EXPECT_TRUE(SameTimeline(smallTimeline, Timeline(plainDecoded, Durations(plainFile))));
    EXPECT_TRUE(SameTimeline(smallTimeline, Timeline(plain.Pictures, plain.Delays)));
}

// Each frame is optimised against the picture on screen and written at once: five times the
// frames take no more memory (holding 500 frames of 320x240 would take some 38 MB more).
TEST(CliOptimize, MemoryStaysFlatWithTheClipsLength) {
    if (testsupport::kAddressSanitizer) GTEST_SKIP() << "memory is not measured under ASan";
    testsupport::TempDir dir;
    for (const char* seconds : {"4", "20"})
        testsupport::MakeMedia(std::string("-f lavfi -i testsrc2=size=320x240:rate=25 -t ") +
                                   seconds + " -c:v mjpeg -q:v 5",
                               dir.File(std::string("clip") + seconds + ".avi"));
    const long shortRun = PeakMemoryKb(
        {"--colors", "octree", "--optimize", "-o", "short.gif", "clip4.avi"}, dir.Path());
    const long longRun = PeakMemoryKb(
        {"--colors", "octree", "--optimize", "-o", "long.gif", "clip20.avi"}, dir.Path());
    ASSERT_GT(shortRun, 0);
    ASSERT_GT(longRun, 0);
    EXPECT_LT(longRun, shortRun + 12 * 1024)
        << shortRun << " KB for 100 frames, " << longRun << " KB for 500";
    EXPECT_EQ(ReadGif(dir.File("long.gif")).Pictures.size(), 500u);
}

}  // namespace
