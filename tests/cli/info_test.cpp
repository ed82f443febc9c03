// clipgif-cli --info: the information text of a file, or why it cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/common/TestSupport.h"

using testsupport::BuildProgram;
using testsupport::ShellQuote;

namespace {

std::string Cli(const std::string& arguments) {
    return ShellQuote(BuildProgram("clipgif-cli")) + " " + arguments;
}

TEST(CliInfo, PrintsTheFileInformationText) {
    testsupport::TempDir dir;
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mjpeg", dir.File("clip.avi"));
    const auto result = testsupport::Run(Cli("--info " + ShellQuote(clip)));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output.rfind("File Name: " + clip + "\nFormat Name: avi\n", 0), 0u)
        << result.output;
    EXPECT_NE(result.output.find("\nDuration: 00:00:01.000, start: 0.000000, bitrate: "),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("\n  Stream #0, 1/25: Video: mjpeg"), std::string::npos)
        << result.output;
}

TEST(CliInfo, UnreadableFileGivesTheDecodersMessage) {
    testsupport::TempDir dir;
    const std::string missing = dir.File("missing.mp4");
    // Only what goes to stderr.
    const auto result =
        testsupport::Run("(" + Cli("--info " + ShellQuote(missing)) + " 2>&1 >/dev/null)");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, missing + ": No such file or directory\n");
}

TEST(CliInfo, PipeNobodyWritesToIsRefused) {
    testsupport::TempDir dir;
    const std::string fifo = dir.File("fifo.mp4");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // `timeout` only keeps a regression from stalling the suite: opening used to wait for ever.
    const auto result =
        testsupport::Run("(timeout 60 " + Cli("--info " + ShellQuote(fifo)) + " 2>&1 >/dev/null)");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, fifo + ": Cannot read from a pipe or socket\n");
}

TEST(CliInfo, WrongCommandLinesShowTheUsage) {
    for (const char* arguments : {"", "--info", "--info a b", "--bogus x"}) {
        const auto result = testsupport::Run(Cli(arguments));
        EXPECT_EQ(result.exitCode, 2) << arguments;
        EXPECT_NE(result.output.find("clipgif-cli --info FILE"), std::string::npos) << arguments;
    }
}

}  // namespace
