// clipgif-cli's default colours on real clips: every decoder composes the same pictures, which
// follow the clip within the quality's tolerance; what stands still is never stored again; and
// with the octree colours, optimising never makes a frame larger than the frame it replaces.
#include <cstdio>
#include <cstdlib>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace clitest;

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A box crossing colour bars and a smooth gradient, stored without loss so what stands still
// stays exactly still.
std::string MovingBoxClip(const testsupport::TempDir& dir) {
    return testsupport::MakeMedia(
        "-f lavfi -i smptebars=size=160x60:rate=25 -f lavfi -i "
        "gradients=size=160x60:rate=25:c0=0x203050:c1=0xd0a070 "
        "-f lavfi -i color=c=0xe04030:size=14x14:rate=25 -filter_complex "
        "\"[1]trim=end_frame=1,loop=loop=-1:size=1[still];[0][still]vstack[bg];"
        "[bg][2]overlay=x='8+t*50':y='30+t*20'\" -t 1.6 -c:v ffv1",
        dir.File("box.mkv"));
}

// The RGB pictures a decoder wrote one after another into `scratch`, which goes.
std::vector<TPixels> PicturesIn(const std::string& scratch) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(scratch);
    std::remove(scratch.c_str());
    const size_t frame = static_cast<size_t>(kWidth) * kHeight * 3;
    std::vector<TPixels> pictures;
    for (size_t at = 0; at + frame <= bytes.size(); at += frame)
        pictures.emplace_back(bytes.begin() + at, bytes.begin() + at + frame);
    return pictures;
}

// The pictures ImageMagick composes (each frame over the ones before it).
std::vector<TPixels> DecodeWithImageMagick(const std::string& gif, const std::string& scratch) {
    const auto result = testsupport::Run("convert " + ShellQuote(gif) +
                                         " -coalesce -depth 8 rgb:" + ShellQuote(scratch));
    return result.exitCode == 0 ? PicturesIn(scratch) : std::vector<TPixels>();
}

// The pictures Pillow composes, when the system's Python has it.
std::vector<TPixels> DecodeWithPillow(const std::string& gif, const std::string& scratch) {
    const std::string script =
        "import sys\nfrom PIL import Image, ImageSequence\n"
        "out = open(sys.argv[2], 'wb')\n"
        "for frame in ImageSequence.Iterator(Image.open(sys.argv[1])):\n"
        "    out.write(frame.convert('RGB').tobytes())\n";
    const auto result = testsupport::Run("/usr/bin/python3 -c " + ShellQuote(script) + " " +
                                         ShellQuote(gif) + " " + ShellQuote(scratch));
    return result.exitCode == 0 ? PicturesIn(scratch) : std::vector<TPixels>();
}

bool HavePillow() {
    return testsupport::Run("/usr/bin/python3 -c 'import PIL' 2>/dev/null").exitCode == 0;
}
bool HaveImageMagick() { return testsupport::Run("convert -version >/dev/null").exitCode == 0; }

TEST(CliFittedColors, EveryDecoderComposesTheSamePicturesCloseToTheClip) {
    testsupport::TempDir dir;
    const std::string clip = MovingBoxClip(dir);
    const TCliRun run = RunCli("-o box.gif box.mkv", dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const std::string gif = dir.File("box.gif");
    const TGifReadBack read = ReadGif(gif);
    ASSERT_EQ(read.Width, kWidth);
    ASSERT_GE(read.Pictures.size(), 2u);
    EXPECT_EQ(read.TotalDelay(), 160);  // the clip's 1.6 s, frames merged or not

    // ffmpeg composes what the project's reader composes, frame by frame.
    const std::vector<TPixels> ffmpeg = DecodeWithFfmpeg(gif, kWidth, kHeight, dir.File("f.rgb"));
    ASSERT_EQ(ffmpeg.size(), read.Pictures.size());
    for (size_t i = 0; i < ffmpeg.size(); ++i) EXPECT_TRUE(ffmpeg[i] == read.Pictures[i]) << i;
    if (HaveImageMagick()) {
        const std::vector<TPixels> magick = DecodeWithImageMagick(gif, dir.File("m.rgb"));
        ASSERT_EQ(magick.size(), read.Pictures.size());
        for (size_t i = 0; i < magick.size(); ++i) EXPECT_TRUE(magick[i] == read.Pictures[i]) << i;
    } else {
        std::fprintf(stderr, "ImageMagick's convert is missing: its reading is not checked\n");
    }
    if (HavePillow()) {
        const std::vector<TPixels> pillow = DecodeWithPillow(gif, dir.File("p.rgb"));
        ASSERT_EQ(pillow.size(), read.Pictures.size());
        for (size_t i = 0; i < pillow.size(); ++i) EXPECT_TRUE(pillow[i] == read.Pictures[i]) << i;
    } else {
        std::fprintf(stderr, "Pillow is missing: its reading is not checked\n");
    }

    // Each picture shown follows the clip's picture of that moment closely.
    const std::vector<TPixels> source = DecodeWithFfmpeg(clip, kWidth, kHeight, dir.File("s.rgb"));
    ASSERT_EQ(source.size(), 40u);
    int time = 0;
    for (size_t i = 0; i < read.Pictures.size(); ++i) {
        const size_t shown = static_cast<size_t>(time / 4);
        ASSERT_LT(shown, source.size());
        EXPECT_GT(Psnr(read.Pictures[i], source[shown]), 33) << "frame " << i;
        time += read.Delays[i];
    }
}

// The processor's vector extensions change how fast a GIF is made, never its bytes: the same
// file with them left unused (CLIPGIF_PLAIN_CPU), for a box crossing a still background and for
// a grainy zoom that changes all over (every pixel mapped, dithered, drawn with the frame's own
// palette and coded lossily).
TEST(CliFittedColors, TheSameBytesWithoutTheProcessorsVectorExtensions) {
    testsupport::TempDir dir;
    MovingBoxClip(dir);
    testsupport::MakeMedia(
        "-f lavfi -i mandelbrot=size=160x120:rate=25,noise=alls=8:allf=t -t 1.2 -c:v ffv1",
        dir.File("zoom.mkv"));
    for (const std::string name : {"box", "zoom"}) {
        SCOPED_TRACE(name);
        const auto convert = [&](const std::string& environment, const std::string& output) {
            const auto result =
                testsupport::Run("cd " + ShellQuote(dir.Path()) + " && " + environment + " " +
                                 Cli() + " -q -o " + output + " " + name + ".mkv");
            EXPECT_EQ(result.exitCode, 0) << result.output;
        };
        convert("CLIPGIF_PLAIN_CPU=0", name + "-vector.gif");
        convert("CLIPGIF_PLAIN_CPU=1", name + "-plain.gif");
        const std::vector<uint8_t> vector =
            testsupport::ReadFileBytes(dir.File(name + "-vector.gif"));
        EXPECT_GT(vector.size(), 1000u);
        EXPECT_TRUE(vector == testsupport::ReadFileBytes(dir.File(name + "-plain.gif")));
    }
}

TEST(CliFittedColors, WhatStandsStillIsStoredOnce) {
    testsupport::TempDir dir;
    MovingBoxClip(dir);
    const TCliRun run = RunCli("-o box.gif box.mkv", dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    TGIFImage gif;
    gif.LoadFromFile(dir.File("box.gif"));
    ASSERT_GT(gif.Images().Count(), 5);
    // Frame 0 covers the screen; every later frame lies where the box was or is.
    EXPECT_EQ(gif.Images()[0].Width(), kWidth);
    EXPECT_EQ(gif.Images()[0].Height(), kHeight);
    for (int i = 1; i < gif.Images().Count(); ++i) {
        const TGIFSubImage& frame = gif.Images()[i];
        EXPECT_LE(frame.Width(), 40) << i;
        EXPECT_LE(frame.Height(), 30) << i;
        EXPECT_GE(frame.Top(), 25) << i;
        EXPECT_TRUE(frame.Transparent() || frame.Width() * frame.Height() < 14 * 14 * 2) << i;
    }
}

// The coded image data of each frame, in file order.
std::vector<size_t> CodedSizes(const std::string& gif) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(gif);
    std::vector<size_t> sizes;
    size_t at = 13;
    if (bytes[10] & 0x80) at += 3u << ((bytes[10] & 7) + 1);
    while (at < bytes.size() && bytes[at] != 0x3B) {
        if (bytes[at] == 0x21) {
            for (at += 2; bytes[at] != 0; at += bytes[at] + 1u) {}
            ++at;
            continue;
        }
        const uint8_t flags = bytes[at + 9];
        at += 10;
        size_t size = 0;
        if (flags & 0x80) {
            size += 3u << ((flags & 7) + 1);
            at += 3u << ((flags & 7) + 1);
        }
        for (++at; bytes[at] != 0; at += bytes[at] + 1u) size += bytes[at] + 1u;
        ++at;
        sizes.push_back(size);
    }
    return sizes;
}

TEST(CliOptimize, AnOptimisedFrameIsNeverLargerThanTheFrameItReplaces) {
    testsupport::TempDir dir;
    // Noise everywhere: merging with the screen finds little, and cropping nothing.
    testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=96x72:rate=10 -vf noise=alls=40:allf=t "
        "-t 1.5 -c:v ffv1",
        dir.File("noise.mkv"));
    ASSERT_EQ(RunCli("--colors octree -o plain.gif noise.mkv", dir.Path()).ExitCode, 0);
    ASSERT_EQ(RunCli("--colors octree --optimize -o small.gif noise.mkv", dir.Path()).ExitCode, 0);
    const std::vector<size_t> plain = CodedSizes(dir.File("plain.gif"));
    const std::vector<size_t> small = CodedSizes(dir.File("small.gif"));
    ASSERT_EQ(plain.size(), 15u);
    ASSERT_EQ(small.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) EXPECT_LE(small[i], plain[i]) << i;
}

}  // namespace
