// clipgif-cli when things go wrong around the conversion: a stdout that is closed or full, a
// disk that fills up, a frame size larger than can be made or than the memory at hand, and
// small files cut short. Each failure is a sentence on stderr that names the file and what
// happened, with exit status 1 (2 for a size no run can make); nothing is left behind except a
// GIF that was saved before stdout failed.
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "app/core/FrameLimits.h"
#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// Runs clipgif-cli in `folder` with `stdoutFd` as its stdout and its stderr into a file.
TCliRun RunWithStdout(const std::vector<std::string>& args, const std::string& folder,
                      int stdoutFd) {
    const std::string err = folder + "/.cli-stderr";
    TCliRun run;
    {
        const TOutputFile errFile(err);
        const pid_t pid = SpawnCli(args, folder, stdoutFd, errFile.Fd());
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid) run.ExitCode = ExitStatusOf(status);
    }
    run.Err = ReadText(err);
    std::remove(err.c_str());
    return run;
}

// A small tmpfs mounted on a folder for as long as it lives (where this process may mount).
class TSmallDisk {
public:
    TSmallDisk(const std::string& folder, const char* size) : folder_(folder) {
        mkdir(folder.c_str(), 0755);
        const std::string options = std::string("size=") + size;
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TSmallDisk() {
        if (mounted_ && ::umount(folder_.c_str()) != 0) ::umount2(folder_.c_str(), MNT_DETACH);
        rmdir(folder_.c_str());
    }
    bool Mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

class CliFaults : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::MakeMedia("-f lavfi -i testsrc2=size=80x60:rate=25 -t 2 -c:v mjpeg",
                               dir_.File("a.avi"));
    }
    testsupport::TempDir dir_;
};

TEST_F(CliFaults, AClosedOrFullStdoutIsReportedAndTheGifKept) {
    // a pipe whose reading end is closed before the program starts
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const TCliRun closed = RunWithStdout({"--end", "0.2", "a.avi"}, dir_.Path(), ends[1]);
    close(ends[1]);
    EXPECT_EQ(closed.ExitCode, 1) << "not killed by SIGPIPE (141)";
    EXPECT_EQ(closed.Err, "Cannot write to stdout: Broken pipe (a_(new).gif is saved)\n");
    EXPECT_EQ(ReadGif(dir_.File("a_(new).gif")).TotalDelay(), 20);  // the whole piece

    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    const TCliRun lost = RunWithStdout({"--end", "0.2", "a.avi"}, dir_.Path(), full);
    EXPECT_EQ(lost.ExitCode, 1);
    EXPECT_EQ(lost.Err,
              "Cannot write to stdout: No space left on device (a_(new_1).gif is saved)\n");
    EXPECT_EQ(ReadGif(dir_.File("a_(new_1).gif")).TotalDelay(), 20);

    // what is not a conversion's line fails the same way
    const TCliRun help = RunWithStdout({"--help"}, dir_.Path(), full);
    close(full);
    EXPECT_EQ(help.ExitCode, 1);
    EXPECT_EQ(help.Err, "clipgif-cli: cannot write to stdout: No space left on device\n");
}

TEST_F(CliFaults, AFullDiskNamesTheFileAndTheCause) {
    TSmallDisk disk(dir_.File("small"), "64k");
    if (!disk.Mounted())
        GTEST_SKIP() << "this process cannot mount a small tmpfs, so no disk fills up here";
    // every frame whole at 320x240: far more than 64 KB
    const TCliRun run = RunCli("--colors octree -s 320x240 -o small/a.gif a.avi", dir_.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, "a.avi: Cannot write small/a.gif: No space left on device\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_TRUE(FolderNames(dir_.File("small")).empty()) << "not even a pending file";
}

TEST_F(CliFaults, SizesLargerThanCanBeMadeAreUsageErrorsNamingTheLargest) {
    const std::string usage =
        "\nusage: clipgif-cli [OPTIONS] FILE...\n"
        "       clipgif-cli --info FILE\n"
        "Try \"clipgif-cli --help\" for the options.\n";
    for (const char* size : {"16384x16384", "16256x16256", "16385x100", "qvga"}) {
        SCOPED_TRACE(size);
        const bool tooLarge = std::string(size) != "qvga";
        const TCliRun run = RunCli(std::string("--end 0.1 -s ") + size + " a.avi", dir_.Path());
        if (!tooLarge) {
            EXPECT_EQ(run.ExitCode, 0) << run.Err;
            continue;
        }
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(run.Err, std::string("clipgif-cli: --size ") + size +
                               " is larger than ClipGIF can write: at most 16255x16255 (a side of "
                               "up to 16384 where the other is shorter)" +
                               usage);
    }
    EXPECT_TRUE(WritableFrameSize(16255, 16255));
    EXPECT_TRUE(WritableFrameSize(16384, 16128));
    EXPECT_FALSE(WritableFrameSize(16384, 16129));
    EXPECT_EQ(RunCli("--width 16385 a.avi", dir_.Path()).ExitCode, 2);

    // a width whose height, by the clip's aspect ratio, is too large
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=40x80:rate=25 -t 0.2 -c:v mjpeg",
                           dir_.File("tall.avi"));
    const TCliRun tall = RunCli("--width 16384 tall.avi", dir_.Path());
    EXPECT_EQ(tall.ExitCode, 1);
    EXPECT_EQ(tall.Err,
              "tall.avi: a 16384x32768 frame is larger than ClipGIF can write: at most "
              "16255x16255 (a side of up to 16384 where the other is shorter)\n");
    EXPECT_EQ(FolderNames(dir_.Path()),
              (std::set<std::string>{"a.avi", "tall.avi", "a_(new).gif"}));
}

TEST_F(CliFaults, ASizeNeedingMoreMemoryThanThereIsIsRefusedBeforeConverting) {
    if (testsupport::kAddressSanitizer) GTEST_SKIP() << "ASan needs more address space";
    // 3 GB of address space for the program: the largest frames need far more
    const std::string limited = "ulimit -v 3000000 && ";
    const testsupport::CommandResult refused =
        testsupport::Run("cd " + testsupport::ShellQuote(dir_.Path()) + " && " + limited + Cli() +
                         " --colors octree -s 16255x16255 a.avi </dev/null 2>&1");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.output.rfind("a.avi: a 16255x16255 GIF needs at least 7.9 GB of memory, "
                                   "more than ClipGIF can have on this machine (",
                                   0),
              0u)
        << refused.output;
    EXPECT_EQ(FolderNames(dir_.Path()), std::set<std::string>{"a.avi"});

    // within the same limit an ordinary size converts
    const testsupport::CommandResult ordinary =
        testsupport::Run("cd " + testsupport::ShellQuote(dir_.Path()) + " && " + limited + Cli() +
                         " -q --colors octree -s 320x240 --end 0.2 a.avi </dev/null 2>&1");
    EXPECT_EQ(ordinary.exitCode, 0) << ordinary.output;
    EXPECT_EQ(ReadGif(dir_.File("a_(new).gif")).TotalDelay(), 20);  // the whole piece
}

TEST_F(CliFaults, SmallFilesCutShortSayWhatIsWrongWithThem) {
    // an MP4 with its index in front, cut inside the index before the video's description; a
    // WebM cut just after its first cluster began; an MKV cut inside its header
    const std::vector<uint8_t> mp4 = testsupport::ReadFileBytes(testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v libx264 -movflags +faststart",
        dir_.File("whole.mp4")));
    const std::vector<uint8_t> webm = testsupport::ReadFileBytes(testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v libvpx-vp9", dir_.File("whole.webm")));
    const std::vector<uint8_t> mkv = testsupport::ReadFileBytes(testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg4", dir_.File("whole.mkv")));
    const auto find = [](const std::vector<uint8_t>& bytes, const std::string& what) {
        const auto at = std::search(bytes.begin(), bytes.end(), what.begin(), what.end(),
                                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
        EXPECT_NE(at, bytes.end()) << what;
        return static_cast<size_t>(at - bytes.begin());
    };
    const auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes,
                           size_t length) {
        std::ofstream(dir_.File(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(length));
    };
    write("cut.mp4", mp4, find(mp4, "stsd") - 4);
    write("cut.webm", webm, find(webm, "\x1F\x43\xB6\x75") + 40);
    write("cut.mkv", mkv, 158);
    for (const char* whole : {"whole.mp4", "whole.webm", "whole.mkv"})
        std::remove(dir_.File(whole).c_str());

    const std::pair<const char*, const char*> cases[] = {
        {"cut.mp4", "its video cannot be decoded: the file is cut short or damaged"},
        {"cut.webm", "its video cannot be decoded: the file is cut short or damaged"},
        {"cut.mkv", "the file is cut short or damaged: it ends inside its header (I/O error)"},
    };
    for (const auto& [file, said] : cases) {
        SCOPED_TRACE(file);
        const TCliRun run = RunCli(file, dir_.Path());
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_EQ(run.Err, std::string(file) + ": " + said + "\n");
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_EQ(FolderNames(dir_.Path()),
              (std::set<std::string>{"a.avi", "cut.mp4", "cut.webm", "cut.mkv"}));
}

}  // namespace
