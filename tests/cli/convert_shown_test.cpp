// clipgif-cli on clips whose pictures players show otherwise than they are stored: turned by a
// display matrix or a rotate tag, stretched by a sample aspect ratio, or one of several video
// streams. The GIF shows what ffmpeg shows, at the size it shows it.
#include <fstream>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

// 64x48, five frames, lossless: every pixel of the picture's corners tells which way it is
// turned.
constexpr const char* kSmallClip =
    "-f lavfi -i testsrc=size=64x48:rate=5 -t 1 -c:v libx264 -qp 0 -pix_fmt yuv444p";

// Writes `matrix` (a b c d of the display matrix, in whole numbers) into the first track header
// of an MP4 file, as a camera that stores its pictures turned does.
void WriteDisplayMatrix(const std::string& path, const int (&matrix)[4]) {
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const size_t box = text.find("tkhd");
    ASSERT_NE(box, std::string::npos);
    const bool wide = bytes[box + 4] == 1;  // version 1: 64-bit times
    size_t at = box + 8 + (wide ? 8 + 8 + 4 + 4 + 8 : 4 + 4 + 4 + 4 + 4) + 8 + 2 + 2 + 2 + 2;
    const int64_t values[9] = {int64_t{matrix[0]} << 16,
                               int64_t{matrix[1]} << 16,
                               0,
                               int64_t{matrix[2]} << 16,
                               int64_t{matrix[3]} << 16,
                               0,
                               0,
                               0,
                               int64_t{1} << 30};
    for (int64_t value : values) {
        const auto word = static_cast<uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes[at++] = static_cast<uint8_t>(word >> shift);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct TTurnCase {
    const char* Name;
    // How the clip is made: the rotate option into MP4 (a display matrix), a display matrix
    // written into the MP4 file, or a rotate tag kept in Matroska.
    enum { RotateOption, Matrix, Tag } Kind;
    int Degrees;
    int MatrixValues[4];
    // What ffmpeg applies to the stored picture to show it; empty: ffmpeg reads the turn itself.
    const char* Filters;
    bool Portrait;
    const char* Info;  // what --info says
};

void PrintTo(const TTurnCase& turn, std::ostream* os) { *os << turn.Name; }

const TTurnCase kTurns[] = {
    {"option90", TTurnCase::RotateOption, 90, {}, "", true, "rotated 90 degrees counter-clockwise"},
    {"option180", TTurnCase::RotateOption, 180, {}, "", false, "rotated 180 degrees"},
    {"option270", TTurnCase::RotateOption, 270, {}, "", true, "rotated 90 degrees clockwise"},
    {"matrixClock", TTurnCase::Matrix, 0, {0, 1, -1, 0}, "", true, "rotated 90 degrees clockwise"},
    {"matrixMirror", TTurnCase::Matrix, 0, {-1, 0, 0, 1}, "", false, "mirrored left to right"},
    {"matrixUpsideDown", TTurnCase::Matrix, 0, {1, 0, 0, -1}, "", false, "flipped upside down"},
    {"matrixTranspose",
     TTurnCase::Matrix,
     0,
     {0, 1, 1, 0},
     "",
     true,
     "rotated 90 degrees counter-clockwise and flipped upside down"},
    {"matrixAntiTranspose",
     TTurnCase::Matrix,
     0,
     {0, -1, -1, 0},
     "",
     true,
     "rotated 90 degrees clockwise and flipped upside down"},
    // The rotate tag counts degrees clockwise; ffmpeg itself leaves the tag alone.
    {"tag90", TTurnCase::Tag, 90, {}, "transpose=clock", true, "rotated 90 degrees clockwise"},
    {"tag180", TTurnCase::Tag, 180, {}, "hflip,vflip", false, "rotated 180 degrees"},
    {"tag270",
     TTurnCase::Tag,
     270,
     {},
     "transpose=cclock",
     true,
     "rotated 90 degrees counter-clockwise"},
    // No quarter turn: turned within the frame, as ffmpeg's rotate filter does.
    {"tag30", TTurnCase::Tag, 30, {}, "rotate=30*PI/180", false, "rotated 30 degrees clockwise"},
};

class TurnedClip : public ::testing::TestWithParam<TTurnCase> {};

std::string MakeTurnedClip(const TTurnCase& turn, const testsupport::TempDir& dir) {
    const std::string plain = testsupport::MakeMedia(kSmallClip, dir.File("plain.mp4"));
    const std::string degrees = std::to_string(turn.Degrees);
    switch (turn.Kind) {
        case TTurnCase::RotateOption:
            return testsupport::MakeMedia(
                "-i " + ShellQuote(plain) + " -c copy -metadata:s:v:0 rotate=" + degrees,
                dir.File("turned.mp4"));
        case TTurnCase::Matrix:
            WriteDisplayMatrix(plain, turn.MatrixValues);
            return plain;
        case TTurnCase::Tag:
            return testsupport::MakeMedia(
                "-i " + ShellQuote(plain) + " -c copy -metadata:s:v:0 ROTATE=" + degrees,
                dir.File("turned.mkv"));
    }
    return plain;
}

TEST_P(TurnedClip, ComesOutUpright) {
    const TTurnCase& turn = GetParam();
    testsupport::TempDir dir;
    const std::string clip = MakeTurnedClip(turn, dir);
    const int width = turn.Portrait ? 48 : 64;
    const int height = turn.Portrait ? 64 : 48;

    const TCliRun run = RunCli("--colors octree -o out.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const TGifReadBack gif = ReadGif(dir.File("out.gif"));
    EXPECT_EQ(gif.Width, width);
    EXPECT_EQ(gif.Height, height);
    ASSERT_EQ(gif.Pictures.size(), 5u);
    const std::vector<TPixels> shown =
        DecodeWithFfmpeg(clip, width, height, dir.File("shown.rgb"), "0:v:0", turn.Filters);
    ASSERT_EQ(shown.size(), 5u);
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_GT(Psnr(gif.Pictures[i], shown[i]), 30) << i;

    const TCliRun info = RunCli("--info " + ShellQuote(clip), dir.Path());
    EXPECT_NE(info.Out.find("    Shown as " + std::to_string(width) + "x" + std::to_string(height) +
                            ": " + turn.Info + "\n"),
              std::string::npos)
        << info.Out;

    // A size asked for is the size of the upright picture.
    const TCliRun sized = RunCli("--width 24 -o sized.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(sized.ExitCode, 0) << sized.Err;
    const TGifReadBack small = ReadGif(dir.File("sized.gif"));
    EXPECT_EQ(small.Width, 24);
    EXPECT_EQ(small.Height, turn.Portrait ? 32 : 18);
}

INSTANTIATE_TEST_SUITE_P(Turns, TurnedClip, ::testing::ValuesIn(kTurns),
                         [](const auto& info) { return std::string(info.param.Name); });

// GIF pixels are square: a clip stored 720x576 and shown 1024x576 comes out 1024x576, and every
// size that follows the clip's shape follows the shown one.
TEST(StretchedClip, ComesOutAsShown) {
    testsupport::TempDir dir;
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=720x576:rate=5 -t 0.6 -vf setsar=64/45 -c:v libx264 -qp 0 "
        "-pix_fmt yuv444p",
        dir.File("pal.mp4"));
    TCliRun run = RunCli("--colors octree -o shown.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const TGifReadBack gif = ReadGif(dir.File("shown.gif"));
    EXPECT_EQ(gif.Width, 1024);
    EXPECT_EQ(gif.Height, 576);
    const std::vector<TPixels> shown = DecodeWithFfmpeg(clip, 1024, 576, dir.File("shown.rgb"));
    ASSERT_EQ(gif.Pictures.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_GT(Psnr(gif.Pictures[i], shown[i]), 25) << i;

    run = RunCli("--width 512 -o width.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadGif(dir.File("width.gif")).Height, 288);
    // A size asked for is taken as it is.
    run = RunCli("-s 320x240 -o exact.gif " + ShellQuote(clip), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadGif(dir.File("exact.gif")).Width, 320);
    EXPECT_NE(RunCli("--info " + ShellQuote(clip), dir.Path()).Out.find("    Shown as 1024x576\n"),
              std::string::npos);

    // Pixels taller than wide make the picture taller: 720x480 at 8:9 is shown 720x540; turned,
    // 540x720.
    const std::string stored = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=720x480:rate=5 -t 0.2 -vf setsar=8/9 -c:v libx264",
        dir.File("stored.mp4"));
    const std::string ntsc = testsupport::MakeMedia(
        "-i " + ShellQuote(stored) + " -c copy -metadata:s:v:0 rotate=90", dir.File("ntsc.mp4"));
    run = RunCli("-o ntsc.gif " + ShellQuote(ntsc), dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadGif(dir.File("ntsc.gif")).Width, 540);
    EXPECT_EQ(ReadGif(dir.File("ntsc.gif")).Height, 720);
}

// Of two video streams the one players show is converted, and the sizes follow it: the one
// marked default, else the first, wherever the larger one is.
TEST(TwoVideoStreams, TheOnePlayersShowIsConverted) {
    testsupport::TempDir dir;
    const std::string inputs =
        "-f lavfi -i testsrc=size=640x360:rate=10 -f lavfi -i testsrc2=size=320x240:rate=25 "
        "-t 1 -map 0:v -map 1:v -c:v libx264 -pix_fmt yuv420p ";
    struct TCase {
        const char* File;
        const char* Dispositions;
        const char* Map;  // of the stream players show
    };
    const TCase cases[] = {
        {"second.mp4", "-disposition:v:0 0 -disposition:v:1 default", "0:v:1"},
        {"first.mp4", "-disposition:v:0 default -disposition:v:1 0", "0:v:0"},
        {"none.mkv", "-disposition:v:0 0 -disposition:v:1 0", "0:v:0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string clip = testsupport::MakeMedia(inputs + c.Dispositions, dir.File(c.File));
        const bool second = std::string(c.Map) == "0:v:1";
        const int width = second ? 320 : 640;
        const int height = second ? 240 : 360;
        TCliRun run = RunCli(
            "--colors octree -o " + std::string(c.File) + ".gif " + ShellQuote(clip), dir.Path());
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        const TGifReadBack gif = ReadGif(dir.File(std::string(c.File) + ".gif"));
        EXPECT_EQ(gif.Width, width);
        EXPECT_EQ(gif.Height, height);
        EXPECT_EQ(gif.Pictures.size(), second ? 25u : 10u);
        const std::vector<TPixels> shown =
            DecodeWithFfmpeg(clip, width, height, dir.File("shown.rgb"), c.Map);
        ASSERT_FALSE(shown.empty());
        EXPECT_GT(Psnr(gif.Pictures[0], shown[0]), 25);

        // --width keeps the shape of the stream converted.
        run = RunCli("--width 160 -o " + std::string(c.File) + "-w.gif " + ShellQuote(clip),
                     dir.Path());
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(ReadGif(dir.File(std::string(c.File) + "-w.gif")).Height, second ? 120 : 90);
    }
}

}  // namespace
