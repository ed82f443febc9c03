// gifkit as a user runs it, checked against ffmpeg's own GIF decoder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/DocumentTestSupport.h"

using testsupport::ShellQuote;

namespace {

std::string Gifkit(const std::string& arguments) {
    return ShellQuote(testsupport::BuildProgram("gifkit")) + " " + arguments;
}

struct TDecodedClip {
    int frames = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Every frame of a GIF through ffmpeg, as rgb24.
TDecodedClip FfmpegDecode(const testsupport::TempDir& dir, const std::string& gif) {
    TDecodedClip clip;
    const auto probe = testsupport::Run(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames,width,height -of csv=p=0:s=x " +
        ShellQuote(gif));
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
    std::sscanf(probe.output.c_str(), "%dx%dx%d", &clip.width, &clip.height, &clip.frames);
    const std::string raw = dir.File("decoded.rgb");
    const auto decode =
        testsupport::Run("ffmpeg -y -v error -i " + ShellQuote(gif) +
                         " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 " + ShellQuote(raw));
    EXPECT_EQ(decode.exitCode, 0) << decode.output;
    clip.rgb = testsupport::ReadFileBytes(raw);
    return clip;
}

// The frame's colours, rgb24, as the GIF library reads them.
std::vector<uint8_t> FrameRGB(TGIFSubImage& frame) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            const TGIFColor color = gifdoc::FrameColor(frame, x, y);
            rgb.insert(rgb.end(), {color.Red, color.Green, color.Blue});
        }
    return rgb;
}

}  // namespace

TEST(Gifkit, EncodedFramesDecodeInFfmpeg) {
    testsupport::TempDir dir;
    testsupport::MakeMedia("-f lavfi -i testsrc=size=80x60:rate=5 -frames:v 3 -pix_fmt bgr24",
                           dir.File("in%d.bmp"));
    const std::string out = dir.File("out.gif");
    const auto encoded = testsupport::Run(
        Gifkit("encode -o " + ShellQuote(out) + " " + ShellQuote(dir.File("in1.bmp")) + " " +
               ShellQuote(dir.File("in2.bmp")) + " " + ShellQuote(dir.File("in3.bmp"))));
    ASSERT_EQ(encoded.exitCode, 0) << encoded.output;
    EXPECT_EQ(encoded.output, "");

    const TDecodedClip clip = FfmpegDecode(dir, out);
    ASSERT_EQ(clip.frames, 3);
    ASSERT_EQ(clip.width, 80);
    ASSERT_EQ(clip.height, 60);
    TGIFImage document;
    document.LoadFromFile(out);
    ASSERT_EQ(document.Images().Count(), 3);
    const size_t frameBytes = 80 * 60 * 3;
    ASSERT_EQ(clip.rgb.size(), frameBytes * 3);
    for (int i = 0; i < 3; ++i) {
        const std::vector<uint8_t> ours = FrameRGB(document.Images()[i]);
        ASSERT_TRUE(std::equal(ours.begin(), ours.end(), clip.rgb.begin() + i * frameBytes))
            << "frame " << i;
    }

    // The colours stay close to the pictures they were reduced from.
    TBitmap source;
    source.LoadFromFile(dir.File("in1.bmp"));
    long difference = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            const TColor c = source.Pixel(x, y);
            const uint8_t* d = &clip.rgb[(y * 80 + x) * 3];
            difference += std::abs(GetRValue(c) - d[0]) + std::abs(GetGValue(c) - d[1]) +
                          std::abs(GetBValue(c) - d[2]);
        }
    EXPECT_LT(difference / (80 * 60 * 3), 12);
}

TEST(Gifkit, IndexedPictureKeepsItsColoursWithRLE) {
    testsupport::TempDir dir;
    const std::string bmp = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=48x32 -frames:v 1 -pix_fmt pal8", dir.File("pal.bmp"));
    const std::string out = dir.File("pal.gif");
    const auto encoded = testsupport::Run(
        Gifkit("encode --encoding rle -o " + ShellQuote(out) + " " + ShellQuote(bmp)));
    ASSERT_EQ(encoded.exitCode, 0) << encoded.output;
    const TDecodedClip clip = FfmpegDecode(dir, out);
    ASSERT_EQ(clip.frames, 1);
    const std::string raw = dir.File("pal.rgb");
    ASSERT_EQ(testsupport::Run("ffmpeg -y -v error -i " + ShellQuote(bmp) +
                               " -f rawvideo -pix_fmt rgb24 " + ShellQuote(raw))
                  .exitCode,
              0);
    EXPECT_TRUE(clip.rgb == testsupport::ReadFileBytes(raw));
}

TEST(Gifkit, InfoDescribesFramesAndPrintsWarnings) {
    testsupport::TempDir dir;
    const std::string gif = testsupport::MakeMedia("-f lavfi -i testsrc=size=64x48:rate=5 -t 0.4",
                                                   dir.File("clip.gif"));
    const auto info = testsupport::Run(Gifkit("info " + ShellQuote(gif)));
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("version: 89a\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("screen: 64x48"), std::string::npos);
    EXPECT_NE(info.output.find("global colors: 256\n"), std::string::npos);
    EXPECT_NE(info.output.find("frames: 2\n"), std::string::npos);
    EXPECT_NE(info.output.find("frame 0: bounds 0,0 64x48, local colors 0, interlaced no\n"),
              std::string::npos);
    EXPECT_NE(info.output.find("  application NETSCAPE2.0: loops 0\n"), std::string::npos);
    EXPECT_NE(info.output.find("  graphic control: disposal "), std::string::npos);
    EXPECT_EQ(info.output.find("warning"), std::string::npos);

    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(gif);
    bytes.back() = 0x77;
    TMemoryStream(bytes).SaveToFile(dir.File("bad.gif"));
    const auto damaged = testsupport::Run(Gifkit("info " + ShellQuote(dir.File("bad.gif"))));
    EXPECT_EQ(damaged.exitCode, 0) << damaged.output;
    EXPECT_NE(damaged.output.find("warning: Unknown GIF block type\n"), std::string::npos)
        << damaged.output;
    EXPECT_NE(damaged.output.find("warning: Invalid Image trailer\n"), std::string::npos);
}

TEST(Gifkit, DecodeWritesEveryFrame) {
    testsupport::TempDir dir;
    const std::string gif = testsupport::MakeMedia("-f lavfi -i testsrc=size=64x48:rate=5 -t 0.6",
                                                   dir.File("clip.gif"));
    const std::string prefix = dir.File("frame");
    const auto decoded =
        testsupport::Run(Gifkit("decode " + ShellQuote(gif) + " " + ShellQuote(prefix)));
    ASSERT_EQ(decoded.exitCode, 0) << decoded.output;
    for (const char* name : {"frame_000.bmp", "frame_001.bmp", "frame_002.bmp"})
        EXPECT_TRUE(testsupport::FileExists(dir.File(name))) << name;
    EXPECT_FALSE(testsupport::FileExists(dir.File("frame_003.bmp")));

    TBitmap first;
    first.LoadFromFile(dir.File("frame_000.bmp"));
    EXPECT_EQ(first.PixelFormat(), pf8bit);
    const TDecodedClip clip = FfmpegDecode(dir, gif);
    ASSERT_GE(clip.rgb.size(), 64u * 48u * 3u);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const TColor c = first.Pixel(x, y);
            const uint8_t* d = &clip.rgb[(y * 64 + x) * 3];
            ASSERT_EQ(RGBColor(d[0], d[1], d[2]), c) << x << "," << y;
        }
}

TEST(Gifkit, UsageErrorsExitWith2) {
    testsupport::TempDir dir;
    const std::string out = ShellQuote(dir.File("o.gif"));
    for (const std::string& arguments :
         {std::string(""), std::string("convert x"), std::string("encode in.bmp"),
          "encode -o " + out, "encode --mode x -o " + out + " in.bmp",
          "encode --bits 9 -o " + out + " in.bmp", "encode --encoding zip -o " + out + " in.bmp",
          "encode --mode 9 -o " + out + " in.bmp", "encode --mode 256 -o " + out + " in.bmp",
          "encode --dither 7 -o " + out + " in.bmp", "encode --dither -1 -o " + out + " in.bmp",
          "encode --fast -o " + out + " in.bmp", "encode --delay -1 -o " + out + " in.bmp",
          std::string("encode -o"), std::string("info"), std::string("decode only.gif")}) {
        const auto result = testsupport::Run(Gifkit(arguments));
        EXPECT_EQ(result.exitCode, 2) << arguments << ": " << result.output;
        EXPECT_NE(result.output.find("usage:"), std::string::npos) << arguments;
    }
}

TEST(Gifkit, BadFilesExitWith1) {
    testsupport::TempDir dir;
    TMemoryStream text(
        std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'});
    text.SaveToFile(dir.File("text.gif"));
    auto result = testsupport::Run(Gifkit("info " + ShellQuote(dir.File("text.gif"))));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Invalid GIF signature\n");

    result = testsupport::Run(
        Gifkit("decode " + ShellQuote(dir.File("missing.gif")) + " " + ShellQuote(dir.File("p"))));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("missing.gif"), std::string::npos) << result.output;

    result = testsupport::Run(Gifkit("encode -o " + ShellQuote(dir.File("o.gif")) + " " +
                                     ShellQuote(dir.File("text.gif"))));
    EXPECT_EQ(result.exitCode, 1) << result.output;

    // A picture without width: refused, and no GIF is written.
    TBitmap picture(16, 16);
    TMemoryStream bmp;
    picture.SaveToStream(bmp);
    std::vector<uint8_t> bytes = bmp.Data();
    bytes[18] = bytes[19] = 0;
    TMemoryStream(bytes).SaveToFile(dir.File("flat.bmp"));
    result = testsupport::Run(Gifkit("encode -o " + ShellQuote(dir.File("flat.gif")) + " " +
                                     ShellQuote(dir.File("flat.bmp"))));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Bitmap image is not valid\n");
    EXPECT_FALSE(testsupport::FileExists(dir.File("flat.gif")));
}

TEST(Gifkit, FilesDeclaringMoreThanTheirDataAreRefused) {
    testsupport::TempDir dir;
    // Header, logical screen 1 x 1 without colour table, then frames of the given size whose
    // image data holds no code at all.
    auto declaring = [](int frames, int size) {
        std::vector<uint8_t> file{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
        const uint8_t low = static_cast<uint8_t>(size & 0xFF);
        const uint8_t high = static_cast<uint8_t>(size >> 8);
        for (int i = 0; i < frames; ++i)
            file.insert(file.end(), {0x2C, 0, 0, 0, 0, low, high, low, high, 0, 2, 0});
        file.push_back(0x3B);
        return file;
    };
    TMemoryStream(declaring(1, 65535)).SaveToFile(dir.File("huge.gif"));
    auto result = testsupport::Run(Gifkit("info " + ShellQuote(dir.File("huge.gif"))));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Frame too large: 65535 x 65535 pixels, at most 268435456\n");

    // Eight frames of 6000 x 6000 made 288 MB of pictures from 110 bytes.
    TMemoryStream(declaring(8, 6000)).SaveToFile(dir.File("eight.gif"));
    result = testsupport::Run(Gifkit("decode " + ShellQuote(dir.File("eight.gif")) + " " +
                                     ShellQuote(dir.File("frame"))));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Image data missing for 36000000 pixels\n");
    EXPECT_FALSE(testsupport::FileExists(dir.File("frame_000.bmp")));
}

TEST(Gifkit, OptimizeMakesAStillSceneWithAMovingObjectAtMost40PercentAndShowsTheSame) {
    testsupport::TempDir dir;
    // A fixed scene and a small picture moving over it, as a converted clip would have them.
    testsupport::MakeMedia(
        "-f lavfi -i gradients=s=320x240:r=10:seed=7,trim=end_frame=1,loop=loop=-1:size=1,"
        "setpts=N/10/TB -f lavfi -i testsrc=s=40x40:r=10 -filter_complex "
        "\"[0][1]overlay=x='mod(t*90\\,280)':y=100:shortest=1\" -frames:v 30 -pix_fmt bgr24",
        dir.File("f%02d.bmp"));
    std::string pictures;
    for (int i = 1; i <= 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.bmp", i);
        pictures += " " + ShellQuote(dir.File(name));
    }
    const std::string plain = dir.File("plain.gif");
    const std::string optimised = dir.File("optimised.gif");
    ASSERT_EQ(
        testsupport::Run(Gifkit("encode --delay 10 -o " + ShellQuote(plain) + pictures)).exitCode,
        0);
    const auto encoded = testsupport::Run(
        Gifkit("encode --delay 10 --optimize -o " + ShellQuote(optimised) + pictures));
    ASSERT_EQ(encoded.exitCode, 0) << encoded.output;

    const size_t plainSize = testsupport::ReadFileBytes(plain).size();
    const size_t optimisedSize = testsupport::ReadFileBytes(optimised).size();
    EXPECT_LE(optimisedSize * 10, plainSize * 4) << optimisedSize << " of " << plainSize;

    TGIFImage before, after;
    before.LoadFromFile(plain);
    after.LoadFromFile(optimised);
    const animation::TShownPictures shownBefore = animation::ShownPictures(before);
    const animation::TShownPictures shownAfter = animation::ShownPictures(after);
    const auto decodedBefore = animation::FfmpegPictures(dir, plain, 320, 240);
    const auto decodedAfter = animation::FfmpegPictures(dir, optimised, 320, 240);
    ASSERT_EQ(decodedBefore.size(), 30u);
    ASSERT_EQ(decodedAfter.size(), shownAfter.pictures.size());
    ASSERT_EQ(shownAfter.Duration(), shownBefore.Duration());
    int time = 0;
    for (size_t i = 0; i < decodedAfter.size(); time += shownAfter.delays[i++]) {
        ASSERT_TRUE(decodedAfter[i] == decodedBefore[static_cast<size_t>(time / 10)])
            << "frame " << i;
        ASSERT_TRUE(shownAfter.pictures[i] == shownBefore.At(time)) << "frame " << i;
    }
}
