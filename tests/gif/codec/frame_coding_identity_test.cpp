// The fast paths of Add and SaveToStream (octree, nearest-colour index, LZW table, bit packing)
// against plain implementations of the same rules, on real video frames of several sizes and
// kinds. The GIF bytes must be identical.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gif/codec/GIFCodedImage.h"
#include "gif/codec/GIFEncoderCache.h"
#include "gif/colour/OctreeQuantizer.h"
#include "gif/core/GIFException.h"
#include "gif/model/GIFImage.h"
#include "platform/Stream.h"
#include "platform/SystemPalette.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/ReferenceCoding.h"

namespace {

struct Clip {
    const char* name;
    const char* graph;  // lavfi source
    int width;
    int height;
    int frames;
};

// Camera-like, smooth, grainy, flat-and-sharp, busy fractal, pure noise, and tiny frames.
const Clip kClips[] = {
    {"natural",
     "mandelbrot=s=320x240:r=25:end_scale=0.05:end_pts=20,gblur=sigma=2,format=gbrp[m];"
     "gradients=s=320x240:r=25:n=4:c0=0x304860:c1=0xc89868:c2=0x6a8d4a:c3=0xe0d8c0:speed=0.05:seed="
     "1,"
     "format=gbrp[g];[g][m]blend=all_mode=softlight:all_opacity=0.7,format=rgb24,"
     "noise=alls=5:allf=t:all_seed=7",
     320, 240, 6},
    {"smooth",
     "gradients=s=640x480:r=25:n=5:c0=0x203a5c:c1=0xd8a060:c2=0x5a7d3a:c3=0xe8e0d0:c4=0x602020:"
     "speed=0.05:type=radial:seed=3,format=rgb24,gblur=sigma=3",
     640, 480, 2},
    {"grainy",
     "life=s=100x75:r=25:mold=10:ratio=0.5:seed=3:death_color=#204060:life_color=#e0b070:"
     "mold_color=#406020,scale=200:150:flags=bicubic,gblur=sigma=2,noise=alls=24:allf=t:all_seed=7",
     200, 150, 5},
    {"testcard", "testsrc2=s=320x240:r=25,scale=317:237:flags=neighbor", 317, 237, 3},
    {"fractal", "mandelbrot=s=161x119:r=25", 161, 119, 4},
    {"noise", "color=c=gray:s=96x64:r=25,noise=alls=100:allf=t+u:all_seed=7", 96, 64, 3},
    {"tiny", "testsrc2=s=64x48:r=25,scale=7:5", 7, 5, 2},
};

std::vector<TBitmap> DecodeClip(const Clip& clip, testsupport::TempDir& dir) {
    const std::string raw = testsupport::MakeMedia(
        "-f lavfi -i " + testsupport::ShellQuote(clip.graph) + " -frames:v " +
            std::to_string(clip.frames) + " -pix_fmt bgr24 -f rawvideo",
        dir.File(std::string(clip.name) + ".bgr"));
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(raw);
    const size_t rowBytes = static_cast<size_t>(clip.width) * 3;
    EXPECT_EQ(bytes.size(), rowBytes * clip.height * clip.frames) << clip.name;
    std::vector<TBitmap> frames;
    for (size_t offset = 0; offset + rowBytes * clip.height <= bytes.size();
         offset += rowBytes * clip.height) {
        TBitmap frame(clip.width, clip.height, pf24bit);
        for (int y = 0; y < clip.height; ++y)
            std::copy_n(bytes.data() + offset + y * rowBytes, rowBytes, frame.ScanLine(y));
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<uint8_t> SavedDocument(std::vector<TBitmap>& frames) {
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    for (TBitmap& frame : frames) document.Add(frame);
    TMemoryStream stream;
    document.SaveToStream(stream);
    return stream.Data();
}

// Index of the first differing byte, or -1.
long FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

}  // namespace

TEST(FrameCodingIdentity, DocumentOfRealClipsMatchesThePlainRules) {
    testsupport::TempDir dir;
    for (const Clip& clip : kClips) {
        std::vector<TBitmap> frames = DecodeClip(clip, dir);
        ASSERT_EQ(static_cast<int>(frames.size()), clip.frames) << clip.name;
        std::vector<TBitmap> copies = frames;
        const std::vector<uint8_t> expected = reference::Gif(copies, SystemPalette20());
        const std::vector<uint8_t> written = SavedDocument(frames);
        EXPECT_EQ(written.size(), expected.size()) << clip.name;
        EXPECT_EQ(FirstDifference(written, expected), -1) << clip.name;
    }
}

TEST(FrameCodingIdentity, OctreeOfRealFramesMatchesThePlainTree) {
    testsupport::TempDir dir;
    for (const Clip& clip : {kClips[0], kClips[2], kClips[5]}) {
        for (TBitmap& frame : DecodeClip(clip, dir)) {
            for (int colors : {1, 7, 236}) {
                reference::Octree plain(colors);
                TColorQuantizer fast(colors);
                for (int y = 0; y < frame.Height(); ++y) {
                    const uint8_t* row = frame.ScanLine(y);
                    for (int x = 0; x < frame.Width(); ++x)
                        plain.Add(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                    fast.AddRow(row, frame.Width());
                }
                ASSERT_EQ(fast.ColorTable(), plain.Colors()) << clip.name << " " << colors;
            }
        }
    }
}

// Colour sequences that make the tree grow, merge and grow again in every way: scattered,
// clustered and stepped colours, rows wider than the quantizer takes at once, colours added
// one by one.
TEST(FrameCodingIdentity, OctreeMatchesThePlainTreeOnSyntheticRows) {
    std::mt19937 rng(9);
    for (int colors : {1, 2, 3, 8, 17, 236, 256}) {
        for (int kind = 0; kind < 3; ++kind) {
            std::vector<uint8_t> row(3 * 20000);
            for (size_t i = 0; i < row.size(); i += 3) {
                const uint32_t r = rng();
                if (kind == 0) {  // anywhere in the cube
                    row[i] = r & 0xFF, row[i + 1] = (r >> 8) & 0xFF, row[i + 2] = (r >> 16) & 0xFF;
                } else if (kind == 1) {  // a few clusters, with runs
                    const int centre = (i / 300) % 5 * 50;
                    row[i] = static_cast<uint8_t>(centre + (r & 7));
                    row[i + 1] = static_cast<uint8_t>(255 - centre - ((r >> 3) & 7));
                    row[i + 2] = static_cast<uint8_t>(centre / 2 + ((r >> 6) & 15));
                } else {  // long runs of one colour
                    const size_t pixel = i / 3;
                    const auto level = static_cast<uint8_t>((pixel / 1000) * 37);
                    row[i] = level, row[i + 1] = static_cast<uint8_t>(level * 3),
                    row[i + 2] = static_cast<uint8_t>(255 - level);
                }
            }
            reference::Octree plain(colors);
            TColorQuantizer rows(colors), single(colors);
            for (size_t i = 0; i < row.size(); i += 3) {
                plain.Add(row[i + 2], row[i + 1], row[i]);
                single.AddColor(row[i + 2], row[i + 1], row[i]);
            }
            rows.AddRow(row.data(), 12000);
            rows.AddRow(row.data() + 3 * 12000, 8000);
            ASSERT_EQ(rows.ColorTable(), plain.Colors()) << colors << " colours, kind " << kind;
            ASSERT_EQ(single.ColorTable(), plain.Colors()) << colors << " colours, kind " << kind;
        }
    }
}

// Index streams that stress the string table: long runs, few colours, table resets, every code
// size, and interlaced-free frames of odd shapes.
TEST(FrameCodingIdentity, LzwMatchesThePlainTableOnEveryKindOfIndexStream) {
    std::mt19937 rng(5);
    for (int bpp = 1; bpp <= 8; ++bpp) {
        const int colors = 1 << bpp;
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<uint8_t> pixels(kind == 3 ? 1 : 50000 + 977 * bpp);
            int run = 0, value = 0;
            for (auto& p : pixels) {
                if (kind == 0) p = static_cast<uint8_t>(rng() % colors);  // noise: many resets
                if (kind == 1) {                                          // runs
                    if (run-- <= 0) run = static_cast<int>(rng() % 40), value = rng() % colors;
                    p = static_cast<uint8_t>(value);
                }
                if (kind == 2) p = static_cast<uint8_t>(((&p - pixels.data()) / 7) % colors);
                if (kind == 3) p = static_cast<uint8_t>(colors - 1);
            }
            TMemoryStream stream;
            CreateGIFEncoder(geLZW)->Compress(stream, bpp, colors, pixels.data(), false, 1,
                                              static_cast<int>(pixels.size()));
            EXPECT_EQ(stream.Data(), reference::Lzw(pixels, bpp)) << bpp << " kind " << kind;
        }
    }
}

// A pixel that is not a colour of the table ends the frame: what was coded before it is in the
// stream, in whole bytes, as the plain coder writes it code by code; the encoder can be used
// again afterwards.
TEST(FrameCodingIdentity, LzwStopsAtABadPixelAfterTheBytesOfThePixelsBeforeIt) {
    std::mt19937 rng(12);
    for (int bpp : {3, 5, 7}) {
        for (size_t badAt : {size_t{1}, size_t{2}, size_t{700}, size_t{4093}, size_t{37000}}) {
            std::vector<uint8_t> pixels(40000);
            for (auto& p : pixels) p = static_cast<uint8_t>(rng() % (1 << bpp));
            pixels[badAt] = static_cast<uint8_t>(1 << bpp);
            auto encoder = CreateGIFEncoder(geLZW);
            TMemoryStream stream;
            EXPECT_THROW(encoder->Compress(stream, bpp, 1 << bpp, pixels.data(), false, 1,
                                           static_cast<int>(pixels.size())),
                         GIFException);
            EXPECT_EQ(stream.Data(), reference::Lzw(pixels, bpp, badAt)) << bpp << " " << badAt;
            pixels[badAt] = 0;
            TMemoryStream again;
            encoder->Compress(again, bpp, 1 << bpp, pixels.data(), false, 1,
                              static_cast<int>(pixels.size()));
            EXPECT_EQ(again.Data(), reference::Lzw(pixels, bpp));
        }
    }
}

// One thread's encoders serve frame after frame: each frame codes to the bytes a new encoder
// gives, whatever the frames before it were (other encodings, code sizes, interlacing, a frame
// that failed on a bad pixel).
TEST(FrameCodingIdentity, ReusedEncodersCodeEachFrameAsNewOnesWould) {
    std::mt19937 rng(21);
    TGIFEncoderCache encoders;
    int frames = 0;
    for (TGIFEncoding encoding : {geLZW, geRLE, geLZW, geLZW, geRLE}) {
        for (int bpp : {8, 2, 5}) {
            const int width = 97 + bpp, height = 61, colors = (1 << bpp) - 1;
            std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
            int run = 0, value = 0;
            for (auto& p : pixels) {
                if (run-- <= 0) run = static_cast<int>(rng() % 6), value = rng() % colors;
                p = static_cast<uint8_t>(value);
            }
            const TGIFCoding coding{encoding, bpp, colors, bpp == 5};
            const TGIFCodedImage fresh(pixels.data(), width, height, coding);
            const TGIFCodedImage reused(pixels.data(), width, height, coding, encoders);
            ASSERT_EQ(std::vector<uint8_t>(reused.Bytes(), reused.Bytes() + reused.Size()),
                      std::vector<uint8_t>(fresh.Bytes(), fresh.Bytes() + fresh.Size()))
                << "frame " << frames;
            ++frames;
            pixels[pixels.size() / 2] = static_cast<uint8_t>(colors);
            EXPECT_THROW(TGIFCodedImage(pixels.data(), width, height, coding, encoders),
                         GIFException);
        }
    }
}
