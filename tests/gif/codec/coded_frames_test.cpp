// Frames that keep their coded image data in place of their pixels: the pixels read back are
// the pixels coded, saving writes the very bytes it would have coded, and whatever changes the
// coding (the pixels, the size of the colour table, the encoding, the interlacing) makes saving
// code the frame again. Frames imported away from the document join it as Add makes them.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/DocumentTestSupport.h"

namespace {

using namespace gifdoc;

using TBuild = std::function<void(TGIFImage&)>;
using TChange = std::function<void(TGIFImage&)>;

std::vector<uint8_t> PixelsOf(TGIFSubImage& frame) {
    return {frame.PixelData(), frame.PixelData() + frame.DataSize()};
}

// Codes every frame of the document as it saves.
void CodeFrames(TGIFImage& document) {
    for (int i = 0; i < document.Images().Count(); ++i)
        EXPECT_TRUE(document.Images()[i].CodeImage(document.Encoding())) << "frame " << i;
}

// Frames by hand on a global colour table of `colors` entries, one interlaced.
void GlobalTableFrames(TGIFImage& document, int colors, int height) {
    for (int i = 0; i < colors; ++i)
        document.Header().ColorMap().Add(
            {static_cast<uint8_t>(i * 9), static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i)});
    for (int f = 0; f < 2; ++f) {
        std::vector<uint8_t> pixels(static_cast<size_t>(13) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>((i * 7 + i / 13 + f) % colors);
        animation::AddFrame(document, {f, 1, 13, height, pixels, 5 + f}).SetInterlaced(f == 1);
    }
}

struct TCase {
    const char* name;
    TBuild build;
};

const std::vector<TCase>& Cases() {
    static const std::vector<TCase> cases = {
        {"reduced picture",
         [](TGIFImage& d) {
             d.SetReductionMode(prOctreePlusSystem);
             TBitmap picture = Gradient(97, 61, 3);
             d.Add(picture);
             TBitmap second = Gradient(97, 61, 4);
             d.Add(second);
         }},
        {"1-bit and 4-bit pictures",
         [](TGIFImage& d) {
             TBitmap one = Indexed(33, 17, pf1bit);
             d.Add(one);
             TBitmap four = Indexed(33, 17, pf4bit);
             d.Add(four);
         }},
        {"run-length coding",
         [](TGIFImage& d) {
             d.SetEncoding(geRLE);
             TBitmap picture = Indexed(41, 23, pf8bit);
             d.Add(picture);
         }},
        {"global table, interlaced, 2 colours", [](TGIFImage& d) { GlobalTableFrames(d, 2, 9); }},
        {"global table, interlaced, 5 rows", [](TGIFImage& d) { GlobalTableFrames(d, 200, 5); }},
        {"one pixel",
         [](TGIFImage& d) {
             TBitmap pixel = Solid(1, 1, 10, 200, 30);
             d.Add(pixel);
         }},
        {"transparent",
         [](TGIFImage& d) {
             animation::AddFrame(d, {0,
                                     0,
                                     4,
                                     3,
                                     {0, 1, 2, 3, 3, 2, 1, 0, 2, 2, 2, 2},
                                     10,
                                     dmBackground,
                                     2,
                                     {{1, 2, 3}, {40, 50, 60}, {0, 0, 0}, {255, 255, 255}}});
         }},
    };
    return cases;
}

TEST(CodedFrames, PixelsReadBackAfterCodingAreThePixelsCoded) {
    for (const TCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        TGIFImage plain, coded;
        c.build(plain);
        c.build(coded);
        std::vector<std::vector<uint8_t>> before;
        for (int i = 0; i < coded.Images().Count(); ++i)
            before.push_back(PixelsOf(coded.Images()[i]));
        CodeFrames(coded);
        for (int i = 0; i < coded.Images().Count(); ++i) {
            TGIFSubImage& frame = coded.Images()[i];
            EXPECT_TRUE(frame.Coded());
            EXPECT_GT(frame.CodedSize(), 0u);
            EXPECT_FALSE(frame.Empty());
            EXPECT_EQ(frame.DataSize(), before[i].size());  // known without decoding
            EXPECT_EQ(frame.Pixels(frame.Width() - 1, frame.Height() - 1), before[i].back());
            EXPECT_EQ(PixelsOf(frame), before[i]);
            EXPECT_TRUE(frame.Coded());  // reading keeps the coded data
        }
        EXPECT_EQ(Save(coded), Save(plain));
    }
}

// The change is made to a coded document and to its uncoded twin; both then save the same
// bytes, or fail with the same error.
TEST(CodedFrames, WhatChangesTheCodingMakesSavingCodeAgain) {
    struct TChangeCase {
        const char* name;
        TBuild build;
        TChange change;
        bool stillCoded;  // of frame 0 afterwards
    };
    const TBuild indexed = [](TGIFImage& d) {
        TBitmap four = Indexed(30, 20, pf4bit);
        d.Add(four);
        TBitmap eight = Indexed(30, 20, pf8bit);
        d.Add(eight);
    };
    const TBuild global = [](TGIFImage& d) { GlobalTableFrames(d, 16, 7); };
    const std::vector<TChangeCase> changes = {
        {"pixel set", indexed, [](TGIFImage& d) { d.Images()[0].SetPixels(3, 4, 9); }, false},
        {"pixels edited", indexed, [](TGIFImage& d) { d.Images()[0].EditScanLine(19)[0] = 1; },
         false},
        {"table grows past 16 entries", indexed,
         [](TGIFImage& d) {
             d.Images()[0].ColorMap().Add({1, 2, 3});
         },
         true},
        {"table shrinks under the pixels", indexed,
         [](TGIFImage& d) { d.Images()[0].ColorMap().Delete(15); }, true},
        {"entry recoloured", indexed,
         [](TGIFImage& d) {
             d.Images()[0].ColorMap().SetColors(2, {9, 9, 9});
         },
         true},
        {"moved", indexed, [](TGIFImage& d) { d.Images()[0].SetLeft(5); }, true},
        {"run-length coding", indexed, [](TGIFImage& d) { d.SetEncoding(geRLE); }, true},
        {"cropped", indexed,
         [](TGIFImage& d) {
             d.Images()[0].Crop({2, 3, 20, 15});
         },
         false},
        {"colour tables optimised", indexed,
         [](TGIFImage& d) { d.OptimizeFrames(ooColorMap, prNone, 8, edNearest); }, false},
        {"interlaced", global, [](TGIFImage& d) { d.Images()[0].SetInterlaced(true); }, true},
        {"global table grows", global,
         [](TGIFImage& d) {
             for (int i = 0; i < 20; ++i)
                 d.Header().ColorMap().Add({7, 7, static_cast<uint8_t>(i)});
         },
         true},
        {"local table given", global,
         [](TGIFImage& d) {
             for (int i = 0; i < 16; ++i)
                 d.Images()[1].ColorMap().Add({static_cast<uint8_t>(i), 0, 0});
         },
         true},
    };
    for (const TChangeCase& c : changes) {
        SCOPED_TRACE(c.name);
        TGIFImage plain, coded;
        c.build(plain);
        c.build(coded);
        CodeFrames(coded);
        c.change(plain);
        c.change(coded);
        EXPECT_EQ(coded.Images()[0].Coded(), c.stillCoded);
        EXPECT_EQ(PixelsOf(coded.Images()[0]), PixelsOf(plain.Images()[0]));
        std::vector<uint8_t> plainBytes, codedBytes;
        const std::string plainError = ErrorOf([&] { plainBytes = Save(plain); });
        const std::string codedError = ErrorOf([&] { codedBytes = Save(coded); });
        EXPECT_EQ(codedError, plainError);
        EXPECT_EQ(codedBytes, plainBytes);
    }
}

TEST(CodedFrames, PixelsOutsideTheTableStayUncodedAndSavingFailsAsBefore) {
    TGIFImage document;
    animation::AddFrame(document, {0, 0, 3, 1, {0, 1, 3}, -1, dmNone, -1, {{1, 1, 1}, {2, 2, 2}}});
    TGIFSubImage& frame = document.Images()[0];
    EXPECT_FALSE(frame.CodeImage(geLZW));
    EXPECT_FALSE(frame.Coded());
    EXPECT_EQ(PixelsOf(frame), (std::vector<uint8_t>{0, 1, 3}));
    EXPECT_EQ(ErrorOf([&] { Save(document); }), "Color not in color table");
    // An empty frame has nothing to code.
    TGIFImage empty;
    TBitmap nothing(0, 0, pf24bit);
    empty.Add(nothing);
    EXPECT_FALSE(empty.Images()[0].CodeImage(geLZW));
    EXPECT_TRUE(empty.Images()[0].Empty());
}

TEST(CodedFrames, CopiesShareTheCodedDataAndEditsStayTheirOwn) {
    TGIFImage source;
    Cases()[0].build(source);
    const std::vector<uint8_t> pixels = PixelsOf(source.Images()[1]);
    CodeFrames(source);
    const std::vector<uint8_t> saved = Save(source);

    TGIFImage copy;
    copy.Assign(source);
    ASSERT_EQ(copy.Images().Count(), 2);
    EXPECT_TRUE(copy.Images()[1].Coded());
    EXPECT_EQ(copy.Images()[1].CodedSize(), source.Images()[1].CodedSize());
    EXPECT_EQ(Save(copy), saved);
    EXPECT_EQ(PixelsOf(copy.Images()[1]), pixels);

    copy.Images()[1].SetPixels(0, 0, static_cast<uint8_t>(pixels[0] ^ 1));
    EXPECT_FALSE(copy.Images()[1].Coded());
    EXPECT_TRUE(source.Images()[1].Coded());
    EXPECT_EQ(PixelsOf(source.Images()[1]), pixels);
    EXPECT_EQ(Save(source), saved);
    EXPECT_NE(Save(copy), saved);
}

TEST(CodedFrames, ThreadsReadingACodedFrameAtOnceAllSeeItsPixels) {
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    TBitmap picture = Gradient(120, 90, 1);
    document.Add(picture);
    TGIFSubImage& frame = document.Images()[0];
    const std::vector<uint8_t> pixels = PixelsOf(frame);
    for (int round = 0; round < 20; ++round) {
        frame.SetPixels(round % 120, 0, pixels[round % 120]);  // drops the coded data
        ASSERT_TRUE(frame.CodeImage(geLZW));
        std::atomic<bool> go{false};
        std::atomic<int> mismatches{0};
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t)
            readers.emplace_back([&] {
                while (!go) std::this_thread::yield();
                const uint8_t* data = frame.PixelData();
                if (!std::equal(pixels.begin(), pixels.end(), data)) ++mismatches;
                if (frame.ScanLine(89)[119] != pixels.back()) ++mismatches;
            });
        go = true;
        for (std::thread& reader : readers) reader.join();
        EXPECT_EQ(mismatches, 0) << "round " << round;
    }
}

// Frames of a growing size, imported into the document with Add, and away from it then added
// with AddImported: the same warnings, the same logical screen, the same bytes.
TEST(CodedFrames, AFrameImportedAwayFromTheDocumentJoinsItAsAddWouldHaveMadeIt) {
    std::vector<TBitmap> pictures;
    pictures.push_back(Gradient(32, 24, 1));
    pictures.push_back(Gradient(40, 24, 2));
    pictures.push_back(TBitmap(0, 0, pf24bit));
    pictures.push_back(Gradient(40, 30, 3));
    pictures.push_back(Gradient(48, 36, 4));

    TGIFImage added, imported;
    std::vector<std::string> addedWarnings, importedWarnings;
    CollectWarnings(added, addedWarnings);
    CollectWarnings(imported, importedWarnings);
    added.SetReductionMode(prOctreePlusSystem);
    added.SetDiffusionMode(edFloydSteinberg);
    for (TBitmap& picture : pictures) {
        added.Add(picture);
        auto frame = std::make_unique<TGIFSubImage>(nullptr);
        frame->ImportBitmap(picture, {prOctreePlusSystem, edFloydSteinberg, 8});
        frame->CodeImage(geLZW);
        imported.AddImported(std::move(frame));
    }
    EXPECT_EQ(importedWarnings, addedWarnings);
    EXPECT_EQ(addedWarnings.size(), 8u);  // width and height of the 2nd, 4th and 5th frames
    EXPECT_EQ(imported.Width(), 48);
    EXPECT_EQ(imported.Height(), 36);
    EXPECT_EQ(imported.Images()[4].Image(), &imported);
    EXPECT_EQ(Save(imported), Save(added));
}

}  // namespace
