// clipgif-cli on clips damaged part-way: cut off, or with corrupt data in the middle. The GIF of
// what could be read is saved, a line on stderr says how much was lost, and the exit status is 1.
#include <fstream>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// Three seconds at 25 frames a second: 75 frames.
constexpr const char* kThreeSeconds =
    "-f lavfi -i testsrc=size=160x120:rate=25 -t 3 -c:v libx264 -pix_fmt yuv420p ";

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The first half of the file only, as when a copy or a download broke off.
std::string CutOff(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
    bytes.resize(bytes.size() / 2);
    WriteBytes(path, bytes);
    return path;
}

// The middle fifth of the file overwritten with noise.
std::string Corrupt(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
    for (size_t i = bytes.size() * 2 / 5; i < bytes.size() * 3 / 5; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    WriteBytes(path, bytes);
    return path;
}

struct TDamage {
    const char* File;
    const char* MakeArgs;
    std::string (*Damage)(const std::string&);
    const char* Reason;  // what the line says after "N of about 75 frames: "
};

void PrintTo(const TDamage& damage, std::ostream* os) { *os << damage.File; }

const TDamage kDamages[] = {
    {"cut-off.mp4", "-movflags +faststart", CutOff, "the clip could not be read after "},
    {"cut-off.mkv", "", CutOff, "the clip could not be read after "},
    {"corrupt.mp4", "", Corrupt, "the clip is damaged in "},
    {"corrupt.mkv", "", Corrupt, "the clip could not be read after "},
    {"corrupt.ts", "", Corrupt, "the clip is damaged in "},
};

class DamagedClip : public ::testing::TestWithParam<TDamage> {};

TEST_P(DamagedClip, SavesWhatCouldBeReadAndSaysWhatWasLost) {
    const TDamage& damage = GetParam();
    testsupport::TempDir dir;
    const std::string clip = damage.Damage(testsupport::MakeMedia(
        std::string(kThreeSeconds) + damage.MakeArgs, dir.File(damage.File)));
    const TCliRun run = RunCli("--colors octree -o out.gif " + ShellQuote(clip), dir.Path());
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    const std::vector<TSavedLine> saved = SavedLines(run.Out);
    ASSERT_EQ(saved.size(), 1u) << run.Out;
    const TGifReadBack gif = ReadGif(dir.File("out.gif"));
    const int frames = static_cast<int>(gif.Pictures.size());
    EXPECT_EQ(saved[0].Frames, frames);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 75);
    const std::string line =
        "Saved out.gif (" + std::to_string(frames) + " of about 75 frames: " + damage.Reason;
    EXPECT_EQ(run.Err.rfind(line, 0), 0u) << run.Err;
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
    // Where reading of a clip cut off stopped: the end of its last frame.
    if (damage.Damage == CutOff) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g s", frames / 25.0);
        EXPECT_NE(run.Err.find(seconds), std::string::npos) << run.Err;
    }
    // -q leaves the stdout line out, not the loss.
    const TCliRun quiet = RunCli("-q --colors octree -o quiet.gif " + ShellQuote(clip), dir.Path());
    EXPECT_EQ(quiet.ExitCode, 1);
    EXPECT_EQ(quiet.Out, "");
    EXPECT_NE(quiet.Err.find(" of about 75 frames: "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedClip, ::testing::ValuesIn(kDamages), [](const auto& info) {
    std::string name = info.param.File;
    std::replace(name.begin(), name.end(), '.', '_');
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

// A clip whose video ends before its audio, or a piece asked for past the clip's end, loses
// nothing.
TEST(DamagedClip, WholeClipsLoseNothing) {
    testsupport::TempDir dir;
    const std::string inputs =
        "-f lavfi -i testsrc=size=64x48:rate=25:duration=1 -f lavfi -i sine=duration=3 "
        "-c:v libx264 -pix_fmt yuv420p ";
    for (const char* file : {"short-video.mp4", "short-video.mkv", "short-video.ts"}) {
        SCOPED_TRACE(file);
        const std::string clip = testsupport::MakeMedia(inputs, dir.File(file));
        for (const char* options : {"", "--end 600"}) {
            std::remove(dir.File("whole.gif").c_str());
            const TCliRun run =
                RunCli(std::string(options) + " -o whole.gif " + ShellQuote(clip), dir.Path());
            EXPECT_EQ(run.ExitCode, 0) << run.Err;
            EXPECT_EQ(run.Err, "");
        }
    }
}

}  // namespace
