// The bytes a document writes and how GIF streams are read back.
#include <gtest/gtest.h>

#include <cstring>

#include "gif/core/GIFException.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/DocumentTestSupport.h"

using namespace gifdoc;

namespace {

// Skips the image data (code size byte, sub-blocks, terminator) that starts at `at`; returns
// the position after it.
size_t SkipImageData(const std::vector<uint8_t>& bytes, size_t at) {
    ++at;
    while (bytes.at(at) != 0) at += bytes[at] + 1u;
    return at + 1;
}

// A document with one frame of the given size and a local table of `colors` entries.
TGIFImage& FrameWithTable(TGIFImage& document, int colors, int width = 4, int height = 2) {
    auto frame = std::make_unique<TGIFSubImage>(&document);
    frame->SetBounds(0, 0, width, height);
    for (int i = 0; i < colors; ++i) frame->ColorMap().Add({static_cast<uint8_t>(i), 1, 2});
    document.Add(std::unique_ptr<TGIFObject>(std::move(frame)));
    return document;
}

std::vector<uint8_t> Bytes(const char* text) {
    return std::vector<uint8_t>(text, text + std::strlen(text));
}

}  // namespace

TEST(StreamFormat, ApplicationOutputLayout) {
    const int width = 24, height = 10, frames = 3;
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    for (int i = 0; i < frames; ++i) {
        TBitmap picture = Gradient(width, height, i);
        document.Add(picture);
    }
    const std::vector<uint8_t> bytes = Save(document);
    ASSERT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6), Bytes("GIF87a"));
    EXPECT_EQ(Word(bytes, 6), width);
    EXPECT_EQ(Word(bytes, 8), height);
    EXPECT_EQ(bytes[10], 0x77);
    EXPECT_EQ(bytes[11], 0);
    EXPECT_EQ(bytes[12], 0);
    size_t at = 13;
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(bytes.at(at), 0x2C) << "frame " << i;
        EXPECT_EQ(Word(bytes, at + 1), 0);
        EXPECT_EQ(Word(bytes, at + 3), 0);
        EXPECT_EQ(Word(bytes, at + 5), width);
        EXPECT_EQ(Word(bytes, at + 7), height);
        EXPECT_EQ(bytes[at + 9], 0x87);
        at += 10;
        const TGIFColorMap& table = document.Images()[i].ColorMap();
        for (int c = 0; c < 256; ++c) {
            const TGIFColor color = table.Colors(c);
            ASSERT_EQ(bytes[at + c * 3], color.Red);
            ASSERT_EQ(bytes[at + c * 3 + 2], color.Blue);
        }
        at += 768;
        EXPECT_EQ(bytes.at(at), 8);
        at = SkipImageData(bytes, at);
    }
    EXPECT_EQ(bytes.at(at), 0x3B);
    EXPECT_EQ(at + 1, bytes.size());
}

TEST(StreamFormat, SaveWithoutFramesFails) {
    TGIFImage document;
    TMemoryStream stream;
    std::vector<std::pair<TProgressStage, int>> steps;
    document.OnProgress = [&](TGIFObject*, TProgressStage stage, int percent, bool, const TRect&,
                              const std::string& m) {
        EXPECT_EQ(m, "Saving...");
        steps.emplace_back(stage, percent);
    };
    EXPECT_EQ(ErrorOf([&] { document.SaveToStream(stream); }), "Unsupported GIF version");
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(steps, (std::vector<std::pair<TProgressStage, int>>{{psStarting, 0}, {psEnding, 0}}));

    testsupport::TempDir dir;
    EXPECT_THROW(document.SaveToFile(dir.File("none.gif")), GIFException);
    EXPECT_TRUE(testsupport::FileExists(dir.File("none.gif")));
}

TEST(StreamFormat, EmptyFrameWritesOnlyItsExtensions) {
    TGIFImage document;
    document.SetReductionMode(prNone);
    TBitmap nothing(0, 0, pf24bit);
    document.Add(nothing);
    TBitmap picture = Solid(2, 2, 1, 2, 3);
    document.Add(picture);
    const std::vector<uint8_t> bytes = Save(document);
    EXPECT_EQ(bytes[13], 0x2C);
    EXPECT_EQ(Word(bytes, 13 + 5), 2);
    EXPECT_EQ(document.Version(), 1);
}

TEST(StreamFormat, TablesArePaddedToAPowerOfTwo) {
    TGIFImage one;
    one.SetReductionMode(prNone);
    TBitmap solid = Solid(3, 3, 9, 8, 7);
    one.Add(solid);
    std::vector<uint8_t> bytes = Save(one);
    EXPECT_EQ(bytes[13 + 9], 0x80);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 23, bytes.begin() + 29),
              (std::vector<uint8_t>{9, 8, 7, 0, 0, 0}));
    EXPECT_EQ(bytes[29], 2);  // the encoder's smallest code size

    TGIFImage twenty;
    FrameWithTable(twenty, 20);
    bytes = Save(twenty);
    EXPECT_EQ(bytes[10], 0x44);
    EXPECT_EQ(bytes[13 + 9], 0x84);
    const size_t table = 23;
    EXPECT_EQ(bytes[table + 19 * 3], 19);
    for (size_t i = table + 20 * 3; i < table + 32 * 3; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(bytes[table + 32 * 3], 5);
}

TEST(StreamFormat, GlobalTableAndHeaderFlags) {
    TGIFImage document;
    TGIFColorMap& global = document.Header().ColorMap();
    for (int i = 0; i < 5; ++i) global.Add({static_cast<uint8_t>(i), 0, 0});
    global.MarkSorted();
    FrameWithTable(document, 0);
    const std::vector<uint8_t> bytes = Save(document);
    EXPECT_EQ(bytes[10], 0x80 | 0x20 | 0x08 | 0x02);
    EXPECT_EQ(bytes[13 + 8 * 3], 0x2C);
    EXPECT_EQ(bytes[13 + 8 * 3 + 9], 0x00);
    EXPECT_EQ(bytes[13 + 8 * 3 + 10], 3);  // code size of the global table's 3 bits
    EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 6), "87a");
}

TEST(StreamFormat, InterlaceBitOnlyWithoutLocalTable) {
    TGIFImage document;
    document.Header().ColorMap().Add({1, 1, 1});
    document.Header().ColorMap().Add({2, 2, 2});
    FrameWithTable(document, 0, 3, 3);
    document.Images()[0].SetInterlaced(true);
    document.Images()[0].SetPixels(1, 2, 1);
    std::vector<uint8_t> bytes = Save(document);
    const size_t descriptor = 13 + 6;
    EXPECT_EQ(bytes[descriptor + 9], 0x40);
    TGIFImage back;
    Load(back, bytes);
    EXPECT_TRUE(back.Images()[0].Interlaced());
    EXPECT_EQ(back.Images()[0].Pixels(1, 2), 1);

    document.Images()[0].ColorMap().Add({3, 3, 3});
    document.Images()[0].ColorMap().Add({4, 4, 4});
    bytes = Save(document);
    EXPECT_EQ(bytes[descriptor + 9], 0x80);
    EXPECT_FALSE(document.Images()[0].Interlaced());
}

TEST(StreamFormat, VersionComesFromFrames) {
    TGIFImage document;
    FrameWithTable(document, 2);
    FrameWithTable(document, 2);
    EXPECT_EQ(document.Version(), 1);
    document.Header().SetAspectRatio(49);
    EXPECT_EQ(document.Version(), 1);
    EXPECT_EQ(document.Header().Version(), 2);
    document.Images()[1].ColorMap().MarkSorted();
    EXPECT_EQ(document.Version(), 2);
    std::vector<uint8_t> bytes = Save(document);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
    const size_t second = SkipImageData(bytes, 13 + 10 + 6);
    EXPECT_EQ(bytes.at(second + 9), 0xA0);  // local table, sorted, 1 bit
}

TEST(StreamFormat, LoopingExtensionIs19Bytes) {
    TGIFImage document;
    FrameWithTable(document, 2);
    TGIFSubImage& frame = document.Images()[0];
    auto loop = std::make_unique<TGIFAppExtNSLoop>(&frame);
    loop->SetLoops(0x0203);
    frame.Extensions().Add(std::move(loop));
    std::vector<uint8_t> bytes = Save(document);
    std::vector<uint8_t> expected = {0x21, 0xFF, 11};
    for (char c : std::string("NETSCAPE2.0")) expected.push_back(static_cast<uint8_t>(c));
    for (uint8_t b : {3, 1, 3, 2, 0}) expected.push_back(b);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 13, bytes.begin() + 13 + 19), expected);
    EXPECT_EQ(bytes[13 + 19], 0x2C);

    static_cast<TGIFAppExtNSLoop&>(frame.Extensions()[0]).SetBufferSize(0x01020304);
    bytes = Save(document);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 13 + 18, bytes.begin() + 13 + 26),
              (std::vector<uint8_t>{5, 2, 4, 3, 2, 1, 0, 0x2C}));
    TGIFImage back;
    Load(back, bytes);
    auto* read = dynamic_cast<TGIFAppExtNSLoop*>(&back.Images()[0].Extensions()[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Loops(), 0x0203);
    EXPECT_EQ(read->BufferSize(), 0x01020304u);
}

TEST(StreamFormat, LongCommentLineSplitsIntoSubBlocks) {
    TGIFImage document;
    FrameWithTable(document, 2);
    auto comment = std::make_unique<TGIFCommentExtension>(nullptr);
    comment->Text() = {std::string(300, 'c'), "", "end"};
    document.Images()[0].Extensions().Add(std::move(comment));
    const std::vector<uint8_t> bytes = Save(document);
    EXPECT_EQ(bytes[13], 0x21);
    EXPECT_EQ(bytes[14], 0xFE);
    EXPECT_EQ(bytes[15], 255);
    EXPECT_EQ(bytes[15 + 256], 45);
    EXPECT_EQ(bytes[15 + 256 + 46], 3);
    EXPECT_EQ(bytes[15 + 256 + 46 + 4], 0);
    TGIFImage back;
    Load(back, bytes);
    auto* read = dynamic_cast<TGIFCommentExtension*>(&back.Images()[0].Extensions()[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Text(),
              (std::vector<std::string>{std::string(255, 'c'), std::string(45, 'c'), "end"}));
}

TEST(StreamFormat, ExtensionsRoundTrip) {
    TGIFImage document;
    FrameWithTable(document, 4);
    TGIFSubImage& frame = document.Images()[0];
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetDisposal(dmBackground);
    control->SetDelay(250);
    control->SetTransparent(true);
    control->SetTransparentColorIndex(3);
    frame.Extensions().Add(std::move(control));
    auto text = std::make_unique<TGIFTextExtension>(&frame);
    text->Record().Left = 7;
    text->Record().CellWidth = 8;
    text->Text() = {"hello"};
    frame.Extensions().Add(std::move(text));
    auto unknown = std::make_unique<TGIFUnknownAppExtension>(&frame);
    unknown->SetIdentifier(ApplicationIdentifier("XMP DataXMP"));
    unknown->Blocks().emplace_back(std::vector<uint8_t>{1, 2, 3});
    frame.Extensions().Add(std::move(unknown));
    const std::vector<uint8_t> bytes = Save(document);

    TGIFImage back;
    Load(back, bytes);
    TGIFSubImage& read = back.Images()[0];
    ASSERT_EQ(read.Extensions().Count(), 3);
    ASSERT_TRUE(read.Transparent());
    EXPECT_EQ(read.GraphicControlExtension()->Delay(), 250);
    EXPECT_EQ(read.GraphicControlExtension()->Disposal(), dmBackground);
    EXPECT_EQ(read.GraphicControlExtension()->TransparentColorIndex(), 3);
    auto* readText = dynamic_cast<TGIFTextExtension*>(&read.Extensions()[1]);
    ASSERT_NE(readText, nullptr);
    EXPECT_EQ(readText->Record().Left, 7);
    EXPECT_EQ(readText->Record().CellWidth, 8);
    auto* readUnknown = dynamic_cast<TGIFUnknownAppExtension*>(&read.Extensions()[2]);
    ASSERT_NE(readUnknown, nullptr);
    ASSERT_EQ(readUnknown->Blocks().size(), 1u);
    EXPECT_EQ(readUnknown->Blocks()[0].Data(), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Save(back), bytes);
}

TEST(StreamFormat, SignatureMayStartFourBytesLater) {
    TGIFImage document;
    FrameWithTable(document, 2);
    std::vector<uint8_t> bytes = Save(document);
    std::vector<uint8_t> shifted = {'j', 'u', 'n', 'k'};
    shifted.insert(shifted.end(), bytes.begin(), bytes.end());
    TGIFImage back;
    Load(back, shifted);
    EXPECT_EQ(back.Images().Count(), 1);

    shifted[4] = 'X';
    TMemoryStream stream(shifted);
    stream.SetPosition(0);
    EXPECT_EQ(ErrorOf([&] { back.LoadFromStream(stream); }), "Invalid GIF signature");
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(ErrorOf([&] { Load(back, Bytes("no")); }), "Invalid GIF signature");
    EXPECT_EQ(ErrorOf([&] { Load(back, Bytes("GIF8")); }), "Premature end of data");
}

TEST(StreamFormat, ReadingWarnings) {
    TGIFImage document;
    FrameWithTable(document, 2);
    std::vector<uint8_t> bytes = Save(document);
    TGIFImage back;
    std::vector<std::string> warnings;
    CollectWarnings(back, warnings);

    std::vector<uint8_t> badTrailer = bytes;
    badTrailer.back() = 0x99;
    Load(back, badTrailer);
    EXPECT_EQ(warnings,
              (std::vector<std::string>{"Unknown GIF block type", "Invalid Image trailer"}));
    EXPECT_EQ(back.Images().Count(), 1);

    warnings.clear();
    std::vector<uint8_t> zeroSize = bytes;
    zeroSize[13 + 5] = 0;  // frame width 0: the screen size stands in
    Load(back, zeroSize);
    EXPECT_EQ(warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
    EXPECT_EQ(back.Images()[0].Width(), 4);

    warnings.clear();
    std::vector<uint8_t> junkAfterExtension(bytes.begin(), bytes.begin() + 13);
    for (uint8_t b : {0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x99}) junkAfterExtension.push_back(b);
    junkAfterExtension.insert(junkAfterExtension.end(), bytes.begin() + 13, bytes.end());
    Load(back, junkAfterExtension);
    EXPECT_EQ(warnings,
              (std::vector<std::string>{"Invalid extension introducer", "Unknown GIF block type",
                                        "Invalid Image trailer"}));
    ASSERT_EQ(back.Images().Count(), 1);
    EXPECT_TRUE(back.Images()[0].Empty());
    EXPECT_EQ(back.Images()[0].Extensions().Count(), 1);

    warnings.clear();
    std::vector<uint8_t> cutControl(bytes.begin(), bytes.begin() + 13);
    for (uint8_t b : {0x21, 0xF9, 4, 1}) cutControl.push_back(b);
    Load(back, cutControl);
    EXPECT_EQ(warnings, std::vector<std::string>{"Premature end of data"});
    ASSERT_EQ(back.Images().Count(), 1);
    EXPECT_TRUE(back.Images()[0].Transparent());

    warnings.clear();
    std::vector<uint8_t> noTrailer(bytes.begin(), bytes.end() - 1);
    Load(back, noTrailer);
    EXPECT_TRUE(warnings.empty());
}

TEST(StreamFormat, ReadingErrors) {
    TGIFImage document;
    FrameWithTable(document, 2);
    const std::vector<uint8_t> bytes = Save(document);
    auto withExtension = [&](std::vector<uint8_t> extension) {
        std::vector<uint8_t> out(bytes.begin(), bytes.begin() + 13);
        out.insert(out.end(), extension.begin(), extension.end());
        out.insert(out.end(), bytes.begin() + 13, bytes.end());
        return out;
    };
    TGIFImage back;
    auto loadError = [&](const std::vector<uint8_t>& data) {
        return ErrorOf([&] { Load(back, data); });
    };
    EXPECT_EQ(loadError(withExtension({0x21, 0x42, 0})), "Unknown extension type");
    EXPECT_EQ(
        loadError(withExtension({0x21, 0xFF, 9, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0})),
        "Unsupported Application Extension block size");
    std::vector<uint8_t> shortLoop = {0x21, 0xFF, 11};
    for (char c : std::string("NETSCAPE2.0")) shortLoop.push_back(static_cast<uint8_t>(c));
    for (uint8_t b : {2, 1, 0, 0}) shortLoop.push_back(b);
    EXPECT_EQ(loadError(withExtension(shortLoop)), "Invalid GIF data");
    EXPECT_EQ(loadError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20)),
              "Premature end of data");
    EXPECT_EQ(loadError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8)),
              "Premature end of data");
}

TEST(StreamFormat, ShortApplicationBlockAndAnimExts) {
    TGIFImage document;
    FrameWithTable(document, 2);
    const std::vector<uint8_t> bytes = Save(document);
    std::vector<uint8_t> animExts = {0x21, 0xFF, 11};
    for (char c : std::string("ANIMEXTS1.0")) animExts.push_back(static_cast<uint8_t>(c));
    for (uint8_t b : {3, 1, 5, 0, 0}) animExts.push_back(b);
    std::vector<uint8_t> shortBlock = {0x21, 0xFF, 10,  'A', 'B', 'C', 'D', 'E', 'F',
                                       'G',  'H',  '1', '2', 2,   7,   7,   0};
    std::vector<uint8_t> data(bytes.begin(), bytes.begin() + 13);
    data.insert(data.end(), animExts.begin(), animExts.end());
    data.insert(data.end(), shortBlock.begin(), shortBlock.end());
    data.insert(data.end(), bytes.begin() + 13, bytes.end());
    TGIFImage back;
    Load(back, data);
    TGIFExtensionList& extensions = back.Images()[0].Extensions();
    ASSERT_EQ(extensions.Count(), 2);
    auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&extensions[0]);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops(), 5);
    auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(&extensions[1]);
    ASSERT_NE(unknown, nullptr);
    // The short block's identifier runs into the first data byte, which is read again.
    EXPECT_EQ(unknown->Identifier()[10], 2);
    ASSERT_EQ(unknown->Blocks().size(), 1u);
    EXPECT_EQ(unknown->Blocks()[0].Data(), (std::vector<uint8_t>{7, 7}));
}

TEST(StreamFormat, ExtensionsAfterTheLastImageFormAnEmptyFrame) {
    TGIFImage document;
    FrameWithTable(document, 2);
    auto tail = std::make_unique<TGIFSubImage>(&document);
    tail->Extensions().Add(std::make_unique<TGIFCommentExtension>(nullptr));
    document.Add(std::unique_ptr<TGIFObject>(std::move(tail)));
    const std::vector<uint8_t> bytes = Save(document);
    TGIFImage back;
    Load(back, bytes);
    ASSERT_EQ(back.Images().Count(), 2);
    EXPECT_TRUE(back.Images()[1].Empty());
    EXPECT_EQ(back.Images()[1].Extensions().Count(), 1);
}

TEST(StreamFormat, ReadBackGivesThePixelsForEveryModeDepthAndEncoder) {
    for (TGIFEncoding encoding : {geLZW, geRLE}) {
        for (int mode = prNone; mode <= prOctreePlusSystem; ++mode) {
            TGIFImage document;
            document.SetEncoding(encoding);
            document.SetReductionMode(static_cast<TPaletteReduction>(mode));
            document.SetQuantizeBits(4);
            TBitmap trueColor =
                mode == prNone ? DistinctColors(37, 21, 200) : Gradient(37, 21, mode);
            document.Add(trueColor);
            for (TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
                TBitmap indexed = Indexed(29, 17, format);
                document.Add(indexed);
            }
            const std::vector<uint8_t> bytes = Save(document);
            TGIFImage back;
            back.SetEncoding(encoding);
            Load(back, bytes);
            ASSERT_EQ(back.Images().Count(), 4);
            for (int i = 0; i < 4; ++i) {
                TGIFSubImage& original = document.Images()[i];
                TGIFSubImage& read = back.Images()[i];
                ASSERT_EQ(read.Width(), original.Width());
                ASSERT_EQ(read.Height(), original.Height());
                ASSERT_EQ(
                    std::vector<uint8_t>(read.PixelData(), read.PixelData() + read.DataSize()),
                    std::vector<uint8_t>(original.PixelData(),
                                         original.PixelData() + original.DataSize()))
                    << "encoding " << int(encoding) << " mode " << mode << " frame " << i;
                for (int c = 0; c < original.ColorMap().Count(); ++c)
                    ASSERT_EQ(read.ColorMap().Colors(c), original.ColorMap().Colors(c));
            }
            const std::vector<uint8_t> again = Save(back);
            const auto differ =
                std::mismatch(again.begin(), again.end(), bytes.begin(), bytes.end());
            EXPECT_TRUE(again == bytes) << "first difference at " << (differ.first - again.begin());
        }
    }
}

TEST(StreamFormat, ReadsWhatFfmpegWrites) {
    testsupport::TempDir dir;
    const std::string gif =
        testsupport::MakeMedia("-f lavfi -i testsrc=size=64x48:rate=5 -t 1", dir.File("clip.gif"));
    const std::string raw = dir.File("frames.rgb");
    const auto decoded = testsupport::Run("ffmpeg -v error -i " + testsupport::ShellQuote(gif) +
                                          " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 " +
                                          testsupport::ShellQuote(raw));
    ASSERT_EQ(decoded.exitCode, 0) << decoded.output;
    const std::vector<uint8_t> expected = testsupport::ReadFileBytes(raw);

    TGIFImage document;
    std::vector<std::string> warnings;
    CollectWarnings(document, warnings);
    document.LoadFromFile(gif);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(document.Width(), 64);
    ASSERT_EQ(document.Height(), 48);
    const size_t frameBytes = 64 * 48 * 3;
    ASSERT_EQ(expected.size(), frameBytes * document.Images().Count());

    // Composite the frames as a viewer would: ffmpeg's frames keep what they do not cover.
    std::vector<uint8_t> canvas(frameBytes, 0);
    for (int i = 0; i < document.Images().Count(); ++i) {
        TGIFSubImage& frame = document.Images()[i];
        const int transparent =
            frame.Transparent() ? frame.GraphicControlExtension()->TransparentColorIndex() : -1;
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x) {
                if (frame.Pixels(x, y) == transparent) continue;
                const TGIFColor color = FrameColor(frame, x, y);
                uint8_t* out = &canvas[((frame.Top() + y) * 64 + frame.Left() + x) * 3];
                out[0] = color.Red;
                out[1] = color.Green;
                out[2] = color.Blue;
            }
        ASSERT_TRUE(std::equal(canvas.begin(), canvas.end(), expected.begin() + i * frameBytes))
            << "frame " << i;
    }
}

TEST(StreamFormat, AnyGraphicControlExtensionCanMakeTheFrameTransparent) {
    // Two graphic control extensions before one image: only the second has the transparent
    // bit. The image data ends at once, so the pixels keep the fill: the transparent index.
    const std::vector<uint8_t> bytes = {
        'G',  'I',  'F', '8',  '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-entry global table
        0,    0,    0,   255,  255, 255,                          // black, white
        0x21, 0xF9, 4,   0x00, 10,  0,   0, 0,                    // delay 10, opaque
        0x21, 0xF9, 4,   0x01, 0,   0,   1, 0,                    // transparent index 1
        0x2C, 0,    0,   0,    0,   2,   0, 1, 0, 0, 2,    0, 0x3B};  // image, no data, trailer
    TGIFImage document;
    std::vector<std::string> warnings;
    CollectWarnings(document, warnings);
    Load(document, bytes);
    ASSERT_EQ(document.Images().Count(), 1);
    TGIFSubImage& frame = document.Images()[0];
    EXPECT_TRUE(frame.Transparent());
    EXPECT_EQ(frame.TransparentColorIndex(), 1);
    EXPECT_EQ(frame.GraphicControlExtension()->Delay(), 10) << "the first one gives the timing";
    EXPECT_EQ(frame.Pixels(0, 0), 1);
    EXPECT_EQ(frame.Pixels(1, 0), 1);
    EXPECT_FALSE(warnings.empty());
}
