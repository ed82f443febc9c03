// clipgif-cli on what it cannot convert: exit status 1, one line on stderr saying why, nothing
// on stdout and no file left behind; the other files of the run are converted all the same.
// Wrong command lines: exit status 2 and the usage.
#include <fstream>
#include <random>

#include "cli/OptionHelp.h"
#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

struct TFailureCase {
    const char* What;
    const char* File;
    const char* Reason;  // what stderr says after "FILE: "
};

void WriteNoise(const std::string& path) {
    std::mt19937 random(7);
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 20000; ++i) out.put(static_cast<char>(random()));
}

TEST(CliFailures, EachFailsAloneWithItsReasonAndLeavesNoFile) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i sine=frequency=440 -t 1", dir.File("audio.m4a"));
    // An MP4 keeps its index at the end: half of one cannot be read.
    const std::string whole = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=64x48:rate=25 -t 2 -c:v libx264 -pix_fmt yuv420p",
        dir.File("whole.mp4"));
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(whole);
    bytes.resize(bytes.size() / 2);
    std::ofstream(dir.File("truncated.mp4"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::remove(whole.c_str());
    WriteNoise(dir.File("noise.mp4"));
    ASSERT_EQ(mkdir(dir.File("folder.mp4").c_str(), 0755), 0);
    const std::set<std::string> before = FolderNames(dir.Path());

    const TFailureCase cases[] = {
        {"audio only", "audio.m4a", "no video stream"},
        {"truncated", "truncated.mp4", "Invalid data found when processing input"},
        {"noise", "noise.mp4", "Invalid data found when processing input"},
        {"missing", "missing.mp4", "No such file or directory"},
        {"folder", "folder.mp4", "Is a directory"},
    };
    for (const TFailureCase& failure : cases) {
        SCOPED_TRACE(failure.What);
        const TCliRun run = RunCli(failure.File, dir.Path());
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_EQ(run.Err, std::string(failure.File) + ": " + failure.Reason + "\n");
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(FolderNames(dir.Path()), before);
    }
}

TEST(CliFailures, ANeighbourFailingDoesNotStopTheOthers) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=64x48:rate=10 -t 0.5 -c:v mjpeg",
                           dir.File("a.avi"));
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=32x24:rate=10 -t 0.3 -c:v mjpeg",
                           dir.File("c.avi"));
    const TCliRun run = RunCli("--colors octree a.avi missing.avi c.avi", dir.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, "missing.avi: No such file or directory\n");
    const std::vector<TSavedLine> saved = SavedLines(run.Out);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].Path, "a_(new).gif");
    EXPECT_EQ(saved[0].Frames, 5);
    EXPECT_EQ(saved[1].Path, "c_(new).gif");
    EXPECT_EQ(saved[1].Width, 32);
    EXPECT_EQ(saved[1].Frames, 3);
}

TEST(CliFailures, AFolderThatTakesNoFile) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=32x24:rate=10 -t 0.2 -c:v mjpeg",
                           dir.File("a.avi"));
    const TCliRun run = RunCli("-o nowhere/a.gif a.avi", dir.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, "a.avi: Cannot create file \"nowhere/a.gif\". No such file or directory\n");
    EXPECT_EQ(FolderNames(dir.Path()), std::set<std::string>{"a.avi"});
}

TEST(CliFailures, AConversionWithoutFramesSavesNothing) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=64x48:rate=25 -t 1 -c:v mjpeg",
                           dir.File("short.avi"));
    // The cut begins after the clip's end.
    const TCliRun run = RunCli("--start 5 short.avi", dir.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, "short.avi: No frames were converted, so no GIF was saved\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(FolderNames(dir.Path()), std::set<std::string>{"short.avi"});
}

TEST(CliFailures, WrongCommandLinesGiveTheUsage) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc2=size=32x24:rate=10 -t 0.2 -c:v mjpeg",
                           dir.File("a.avi"));
    const std::pair<const char*, const char*> cases[] = {
        {"", "no FILE to convert"},
        {"--bogus a.avi", "unknown option \"--bogus\""},
        {"-x a.avi", "unknown option \"-x\""},
        {"--size 320 a.avi", "--size takes WxH or a size name (qvga, hd720, ...), not \"320\""},
        {"--size qvga --width 100 a.avi", "--size and --width exclude each other"},
        {"--start 2 --end 1 a.avi", "--end must come after --start"},
        {"--start 1:75 a.avi",
         "--start takes seconds (2.5) or [hh:]mm:ss[.fff] (1:02.5), not \"1:75\""},
        {"-r 0 a.avi", "--fps takes a frame rate above 0 and up to 50, not \"0\""},
        {"--fps 100 a.avi", "--fps takes a frame rate above 0 and up to 50, not \"100\""},
        {"--loop -1 a.avi", "--loop takes a whole number from 0 to 65535, not \"-1\""},
        {"--dither fancy a.avi",
         "--dither takes one of none, floyd-steinberg, stucki, sierra, jajuni, steve-arche, "
         "burkes, pattern, not \"fancy\""},
        {"-o x.gif a.avi a.avi", "--output takes one FILE only"},
        {"--no-loop --loop 2 a.avi", "--loop and --no-loop exclude each other"},
        {"-q -v a.avi", "--quiet and --verbose exclude each other"},
        {"--quiet=yes a.avi", "--quiet takes no value"},
        {"a.avi --width", "--width needs W"},
        {"--info a.avi b.avi", "--info takes one FILE and nothing else"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments);
        const TCliRun run = RunCli(arguments, dir.Path());
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(run.Err, "clipgif-cli: " + std::string(message) +
                               "\nusage: clipgif-cli [OPTIONS] FILE...\n"
                               "       clipgif-cli --info FILE\n"
                               "Try \"clipgif-cli --help\" for the options.\n");
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_EQ(FolderNames(dir.Path()), std::set<std::string>{"a.avi"});

    // Asked for: the help on stdout, status 0, nothing converted.
    const TCliRun help = RunCli("a.avi --help", dir.Path());
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(help.Out, HelpText());
    EXPECT_EQ(help.Err, "");
    const TCliRun version = RunCli("--version", dir.Path());
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out.rfind("clipgif-cli ", 0), 0u) << version.Out;
    EXPECT_EQ(FolderNames(dir.Path()), std::set<std::string>{"a.avi"});
}

}  // namespace
