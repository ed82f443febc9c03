// clipgif-cli --max-size and --estimate on real clips: the saved GIF is never larger than the
// limit, also when the samples misjudged the clip and it is converted again; a limit the clip
// fits changes nothing; a limit nothing fits writes nothing.
#include <sys/stat.h>

#include <regex>

#include "tests/cli/CliTestSupport.h"

using namespace clitest;

namespace {

long long FileBytes(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

// "Saved PATH (N frames, WxH, B bytes), fitted to LIMIT: SETTINGS": the bytes and the fit.
struct TFittedLine {
    long long Bytes = -1;
    std::string Fit;
};

TFittedLine FittedLineOf(const std::string& out) {
    static const std::regex shape(
        R"(^Saved .* \(\d+ frames, \d+x\d+, (\d+) bytes\), (fitted to .*)\n$)");
    std::smatch match;
    TFittedLine line;
    EXPECT_TRUE(std::regex_match(out, match, shape)) << out;
    if (match.size() == 3) {
        line.Bytes = std::stoll(match[1]);
        line.Fit = match[2];
    }
    return line;
}

class CliSizeLimit : public ::testing::Test {
protected:
    // --estimate says about how large the GIF is, and writes nothing.
    void ExpectEstimateNear(long long bytes) {
        const TCliRun estimate = RunCli("--estimate " + Clip(), dir_.Path());
        ASSERT_EQ(estimate.ExitCode, 0) << estimate.Err;
        std::smatch match;
        const std::regex shape(
            R"(.*clip\.mp4: about (\d+(\.\d)?) KB \(160x120, 25 fps, quality 90\)\n)");
        ASSERT_TRUE(std::regex_match(estimate.Out, match, shape)) << estimate.Out;
        EXPECT_NEAR(std::stod(match[1]) * 1024, bytes, bytes * 0.15);

        const TCliRun fitted = RunCli("--estimate --max-size 300K " + Clip(), dir_.Path());
        ASSERT_EQ(fitted.ExitCode, 0) << fitted.Err;
        EXPECT_NE(fitted.Out.find(", fitted to 300 KB: "), std::string::npos) << fitted.Out;
        EXPECT_EQ(FolderNames(folder_->Path()), std::set<std::string>({"clip.mp4"}));
    }

    static void SetUpTestSuite() {
        folder_ = new testsupport::TempDir;
        testsupport::MakeMedia("-f lavfi -i testsrc2=size=160x120:rate=25 -t 6 -c:v libx264",
                               folder_->File("clip.mp4"));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string Clip() { return ShellQuote(folder_->File("clip.mp4")); }

    static testsupport::TempDir* folder_;
    testsupport::TempDir dir_;
};

testsupport::TempDir* CliSizeLimit::folder_ = nullptr;

TEST_F(CliSizeLimit, ALimitTheClipFitsChangesNothingAndATighterOneIsKept) {
    const TCliRun plain = RunCli("-q -o plain.gif " + Clip(), dir_.Path());
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    const long long plainBytes = FileBytes(dir_.File("plain.gif"));
    ASSERT_GT(plainBytes, 100000);
    ExpectEstimateNear(plainBytes);

    const TCliRun roomy = RunCli("--max-size 5M -o roomy.gif " + Clip(), dir_.Path());
    ASSERT_EQ(roomy.ExitCode, 0) << roomy.Err;
    EXPECT_EQ(FittedLineOf(roomy.Out).Fit, "fitted to 5 MB: 160x120, 25 fps, quality 90");
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.File("roomy.gif")),
              testsupport::ReadFileBytes(dir_.File("plain.gif")));

    const long long limit = plainBytes / 3;
    const TCliRun tight =
        RunCli("--max-size " + std::to_string(limit) + " -o tight.gif " + Clip(), dir_.Path());
    ASSERT_EQ(tight.ExitCode, 0) << tight.Err;
    const TFittedLine line = FittedLineOf(tight.Out);
    EXPECT_EQ(line.Bytes, FileBytes(dir_.File("tight.gif")));
    EXPECT_LE(line.Bytes, limit);
    // as good as fits: the settings chosen leave little of the limit unused
    EXPECT_GT(line.Bytes, limit / 2);
    const TGifReadBack gif = ReadGif(dir_.File("tight.gif"));
    EXPECT_FALSE(gif.Pictures.empty());
    EXPECT_EQ(gif.TotalDelay(), 600);  // the whole clip, at whatever rate
}

// Samples spread over the clip all miss a burst of noise between them: the first conversion
// grows past the limit, is dropped, and the clip is converted again lower.
TEST_F(CliSizeLimit, AGifThatOutgrowsTheEstimateIsConvertedAgainBelowTheLimit) {
    testsupport::MakeMedia(
        "-f lavfi -i color=c=0x336699:size=160x120:rate=25:d=10 "
        "-f lavfi -i nullsrc=size=160x120:rate=25:d=10 -filter_complex "
        "\"[1]geq=random(1)*255:128:128,format=yuv420p[n];[0][n]overlay=enable='between(t,1.5,3.5)'"
        "\" "
        "-c:v libx264 -g 25",
        dir_.File("burst.mp4"));
    const long long limit = 300 * 1024;
    const TCliRun run = RunCli("--max-size 300K -o fit.gif burst.mp4", dir_.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("The GIF grew past 300 KB at 160x120, 25 fps, quality 90: converting "
                           "it again lower"),
              std::string::npos)
        << run.Err;
    const TFittedLine line = FittedLineOf(run.Out);
    EXPECT_LE(FileBytes(dir_.File("fit.gif")), limit);
    EXPECT_EQ(line.Bytes, FileBytes(dir_.File("fit.gif")));
    EXPECT_EQ(ReadGif(dir_.File("fit.gif")).TotalDelay(), 1000);
    EXPECT_EQ(FolderNames(dir_.Path()), std::set<std::string>({"burst.mp4", "fit.gif"}));
}

TEST_F(CliSizeLimit, ALimitNothingFitsWritesNothing) {
    const TCliRun run = RunCli("--max-size 20K " + Clip(), dir_.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_TRUE(std::regex_match(
        run.Err,
        std::regex(
            R"(.*clip\.mp4: ClipGIF cannot fit 6 s into 20 KB; about \d+(\.\d)? s at 120x90 would fit\n)")))
        << run.Err;
    EXPECT_EQ(FolderNames(folder_->Path()), std::set<std::string>({"clip.mp4"}));
}

TEST_F(CliSizeLimit, SizesThatAreNoLimitAreUsageErrors) {
    for (const char* value : {"0", "-1", "12Q", "", "M"}) {
        SCOPED_TRACE(value);
        const TCliRun run =
            RunCli(std::string("--max-size ") + ShellQuote(value) + " " + Clip(), dir_.Path());
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(
            run.Err.rfind(std::string("clipgif-cli: --max-size takes a size in bytes, or with K "
                                      "or M (8M), not \"") +
                              value + "\"\n",
                          0),
            0u)
            << run.Err;
    }
}

}  // namespace
