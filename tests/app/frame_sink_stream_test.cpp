// The GIF written while the conversion runs: the very bytes of the document kept whole and saved
// at the close, on real clips with and without timing, cut and at another rate; a frame that
// fails or a file that cannot be written takes the temporary file with it at once.
#include <sys/resource.h>

#include <csignal>

#include "engine/log/FFLog.h"
#include "engine/task/FFmpegTask.h"
#include "tests/app/SinkTestSupport.h"

namespace {

using namespace sinktest;

// A picture of grain: its coded data is nearly as large as its indices.
TPixels NoiseFrame(int width, int height, uint32_t seed) {
    TPixels pixels(static_cast<size_t>(width) * height * 3);
    for (uint8_t& byte : pixels) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    return pixels;
}

class SinkStreamTest : public SinkTest {
protected:
    // Converts the clip through a conversion task into the sink; the bytes of the GIF saved.
    std::vector<uint8_t> ConvertClip(const std::string& clip, const std::string& inputOptions,
                                     const std::string& outputOptions) {
        TCustomFFmpeg task;
        if (!inputOptions.empty()) task.ParseOptions(inputOptions);
        EXPECT_GE(task.OpenInputFile(nullptr, clip), 0) << task.LastError;
        task.ParseOptions("-f rawrgb -c:v rawvideo -pix_fmt bgr24 " + outputOptions);
        EXPECT_GE(task.OpenOutputFile(adapter.OutputName(), false), 0) << task.LastError;
        task.Transcode();
        EXPECT_TRUE(task.Completed);
        EXPECT_FALSE(sink.SavedFileName().empty());
        if (sink.SavedFileName().empty()) return {};
        EXPECT_EQ(TReadBack(sink.SavedFileName()).Count(), sink.SavedFrames());
        return testsupport::ReadFileBytes(sink.SavedFileName());
    }
};

TEST_F(SinkStreamTest, TheWrittenGifIsTheKeptDocumentsByteForByte) {
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i " +
            testsupport::ShellQuote("mandelbrot=s=160x120:r=25:end_scale=0.05:end_pts=20,"
                                    "gblur=sigma=2,noise=alls=4:allf=t:all_seed=3") +
            " -t 2 -c:v libx264 -pix_fmt yuv420p",
        dir.File("clip.mp4"));
    struct TCase {
        const char* name;
        bool timing;
        const char* input;
        const char* output;
    } cases[] = {
        {"plain", false, "", ""},
        {"timed", true, "", ""},
        {"timed and cut", true, "-ss 0.6", "-t 1.1"},
        {"another rate and size", true, "", "-r 10 -vf scale=96:72"},
    };
    FFLogger().SetLogLevel(llQuiet);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        sink.SetTiming({.Enabled = c.timing});
        sink.SetKeepFrames(true);
        const std::vector<uint8_t> kept = ConvertClip(clip, c.input, c.output);
        EXPECT_GT(sink.Document().Images().Count(), 5);
        sink.SetKeepFrames(false);
        const std::vector<uint8_t> written = ConvertClip(clip, c.input, c.output);
        EXPECT_EQ(sink.Document().Images().Count(), 0);
        EXPECT_EQ(written, kept);
    }
    FFLogger().SetLogLevel(llInfo);
}

TEST_F(SinkStreamTest, AFrameThatFailsTakesTheFileWithItAtOnce) {
    sink.SetWorkers(0);
    sink.SetTiming({.Enabled = false});
    TRawRgbOutput output(adapter, 16, 8, {1, 25});
    ASSERT_EQ(output.Start(), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(output.Write(BandedFrame(16, 8, i), i), 0);
    const std::vector<std::string> writing = FolderNames(dir.Path());
    ASSERT_EQ(writing.size(), 1u);
    EXPECT_TRUE(writing[0].ends_with(".part"));

    // No palette to reduce to: the frame fails in this call or the next.
    sink.Document().SetReductionMode(prCallerPalette);
    std::string error;
    for (int i = 3; i < 6 && error.empty(); ++i)
        if (output.Write(BandedFrame(16, 8, i), i) < 0) error = output.HandlerError();
    EXPECT_EQ(error, "Scan line index out of range");
    EXPECT_TRUE(FolderNames(dir.Path()).empty());

    // What comes after fails the same way and writes nothing.
    sink.Document().SetReductionMode(prOctreePlusSystem);
    EXPECT_LT(output.Write(BandedFrame(16, 8, 7), 7), 0);
    EXPECT_EQ(output.HandlerError(), error);
    EXPECT_LT(output.Finish(), 0);
    EXPECT_EQ(output.HandlerError(), error);
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
    EXPECT_EQ(sink.SavedFileName(), "");

    Convert({BandedFrame(16, 8, 1), BandedFrame(16, 8, 2)}, 16, 8);
    EXPECT_EQ(TReadBack(sink.SavedFileName()).Count(), 2);
}

// A disk that takes no more: the file size limit makes the writes fail as a full disk would.
TEST_F(SinkStreamTest, AFileThatCannotBeWrittenLeavesNothing) {
    sink.SetWorkers(0);
    sink.SetTiming({.Enabled = false});
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        sink.SetKeepFrames(keep);
        TRawRgbOutput output(adapter, 64, 48, {1, 25});
        ASSERT_EQ(output.Start(), 0);
        rlimit limit{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit small{40000, limit.rlim_max};
        const auto signalHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        std::string error;
        for (int i = 0; i < 30 && error.empty(); ++i)
            if (output.Write(NoiseFrame(64, 48, static_cast<uint32_t>(i)), i) < 0)
                error = output.HandlerError();
        if (error.empty() && output.Finish() < 0) error = output.HandlerError();
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, signalHandler);

        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(FolderNames(dir.Path()).empty());
        EXPECT_EQ(sink.SavedFileName(), "");
    }
}

}  // namespace
