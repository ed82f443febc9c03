// Ctrl-C in the middle of a conversion: the conversion stops as the Stop button stops it, the
// GIF of the frames so far is saved and valid, the files after it are left alone, and the
// exit status is 130. SIGTERM and SIGHUP do the same with 143 and 129. A run killed outright
// leaves its pending file, which the next run beside it removes.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// clipgif-cli running in the background, stdout and stderr into files of `folder`.
class TBackgroundCli {
public:
    TBackgroundCli(const std::vector<std::string>& args, const std::string& folder)
        : out_(folder + "/.stdout"), err_(folder + "/.stderr") {
        const TOutputFile out(out_);
        const TOutputFile err(err_);
        pid_ = SpawnCli(args, folder, out.Fd(), err.Fd());
        EXPECT_GT(pid_, 0);
    }
    ~TBackgroundCli() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }

    // Waits (up to a generous limit, reached only when the program hangs) until stderr holds
    // `text`; false when the program ended first.
    bool WaitForOutput(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            if (ReadText(err_).find(text) != std::string::npos) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = ExitStatusOf(status);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    void Interrupt(int signal = SIGINT) { kill(pid_, signal); }
    int Wait() {
        if (status_ >= 0) return status_;
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = ExitStatusOf(status);
        return status_;
    }
    std::string Out() const { return ReadText(out_); }
    std::string Err() const { return ReadText(err_); }

private:
    std::string out_;
    std::string err_;
    pid_t pid_ = -1;
    int status_ = -1;
};

TEST(CliInterrupt, CtrlCKeepsTheFramesSoFar) {
    testsupport::TempDir dir;
    // 1000 small frames made large: long enough to be stopped on the way.
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=80x60:rate=25 -t 40 -c:v mjpeg -q:v 5", dir.File("long.avi"));
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=32x24:rate=10 -t 0.3 -c:v mjpeg",
                           dir.File("next.avi"));
    constexpr int kWidth = 320;
    constexpr int kHeight = 240;

    // Every frame whole, so that the frames saved are the frames converted.
    TBackgroundCli cli({"-v", "--colors", "octree", "--size", "320x240", "long.avi", "next.avi"},
                       dir.Path());
    ASSERT_TRUE(cli.WaitForOutput("FrameOutput write frame #30,")) << cli.Err();
    cli.Interrupt();
    ASSERT_EQ(cli.Wait(), 130) << cli.Err();

    const std::vector<TSavedLine> saved = SavedLines(cli.Out());
    ASSERT_EQ(saved.size(), 1u) << cli.Out();
    EXPECT_EQ(saved[0].Path, "long_(new).gif");
    EXPECT_EQ(
        FolderNames(dir.Path()),
        (std::set<std::string>{"long.avi", "next.avi", "long_(new).gif", ".stdout", ".stderr"}));
    const TGifReadBack gif = ReadGif(dir.File("long_(new).gif"));
    const int frames = static_cast<int>(gif.Pictures.size());
    EXPECT_EQ(frames, saved[0].Frames);
    EXPECT_GE(frames, 30);
    EXPECT_LT(frames, 1000);
    EXPECT_EQ(gif.Delays, std::vector<int>(frames, 4));
    EXPECT_TRUE(gif.Loops);

    // ffmpeg reads the same pictures; they are the clip's first ones.
    const std::vector<TPixels> decoded =
        DecodeWithFfmpeg(dir.File("long_(new).gif"), kWidth, kHeight, dir.File("gif.rgb"));
    ASSERT_EQ(static_cast<int>(decoded.size()), frames);
    for (int i = 0; i < frames; i += 7) EXPECT_TRUE(decoded[i] == gif.Pictures[i]) << i;
    const TCliRun head = RunCli("--colors octree --no-timing --size 320x240 --end " +
                                    std::to_string(frames / 25.0) + " -o head.gif long.avi",
                                dir.Path());
    ASSERT_EQ(head.ExitCode, 0) << head.Err;
    const TGifReadBack expected = ReadGif(dir.File("head.gif"));
    ASSERT_EQ(static_cast<int>(expected.Pictures.size()), frames);
    EXPECT_TRUE(expected.Pictures.back() == gif.Pictures.back());
}

TEST(CliInterrupt, TermAndHangUpStopAsCtrlCDoes) {
    testsupport::TempDir dir;
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=80x60:rate=25 -t 40 -c:v mjpeg -q:v 5", dir.File("long.avi"));
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TBackgroundCli cli({"-v", "--colors", "octree", "--size", "320x240", "long.avi"},
                           dir.Path());
        ASSERT_TRUE(cli.WaitForOutput("FrameOutput write frame #20,")) << cli.Err();
        cli.Interrupt(signal);
        ASSERT_EQ(cli.Wait(), 128 + signal) << cli.Err();

        const std::vector<TSavedLine> saved = SavedLines(cli.Out());
        ASSERT_EQ(saved.size(), 1u) << cli.Out();
        EXPECT_EQ(saved[0].Path, "long_(new).gif");
        // nothing left but the GIF: no pending file
        EXPECT_EQ(FolderNames(dir.Path()),
                  (std::set<std::string>{"long.avi", "long_(new).gif", ".stdout", ".stderr"}));
        const TGifReadBack gif = ReadGif(dir.File("long_(new).gif"));
        EXPECT_EQ(static_cast<int>(gif.Pictures.size()), saved[0].Frames);
        EXPECT_GE(saved[0].Frames, 20);
        EXPECT_LT(saved[0].Frames, 1000);
        std::remove(dir.File("long_(new).gif").c_str());
    }
}

TEST(CliInterrupt, APendingFileLeftByAKilledRunGoesWithTheNextRun) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=80x60:rate=25 -t 40 -c:v mjpeg -q:v 5",
                           dir.File("long.avi"));
    {
        TBackgroundCli cli({"-v", "--colors", "octree", "--size", "320x240", "long.avi"},
                           dir.Path());
        ASSERT_TRUE(cli.WaitForOutput("FrameOutput write frame #20,")) << cli.Err();
        cli.Interrupt(SIGKILL);
        ASSERT_EQ(cli.Wait(), 128 + SIGKILL);
    }
    std::set<std::string> pending;
    for (const std::string& name : FolderNames(dir.Path()))
        if (name.rfind(".long_(new).gif.", 0) == 0) pending.insert(name);
    ASSERT_EQ(pending.size(), 1u) << "the killed run's pending file stays behind";

    const TCliRun next = RunCli("--colors octree --end 0.2 long.avi", dir.Path());
    ASSERT_EQ(next.ExitCode, 0) << next.Err;
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::set<std::string>{"long.avi", "long_(new).gif", ".stdout", ".stderr"}));
    EXPECT_EQ(ReadGif(dir.File("long_(new).gif")).Pictures.size(), 5u);
}

}  // namespace
