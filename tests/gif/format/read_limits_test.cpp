// Reading files that declare more than their data backs: refused with a clear error, quickly and
// in little memory; legitimate files, cut ones included, still load.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gif/core/GIFException.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "platform/Stream.h"
#include "tests/gif/CodeStreamTools.h"
#include "tests/gif/DocumentTestSupport.h"

namespace {

void PutWord(std::vector<uint8_t>& out, int value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// "GIF89a", the logical screen and a two-colour global table.
std::vector<uint8_t> Header(int width, int height) {
    std::vector<uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    PutWord(out, width);
    PutWord(out, height);
    out.insert(out.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    return out;
}

// An image descriptor and the image data (code size byte, sub-blocks, terminator) behind it.
void AddFrame(std::vector<uint8_t>& out, int width, int height, const std::vector<uint8_t>& data,
              uint8_t packed = 0) {
    out.push_back(0x2C);
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, width);
    PutWord(out, height);
    out.push_back(packed);
    out.insert(out.end(), data.begin(), data.end());
}

// Image data without a single code: no pixel at all.
const std::vector<uint8_t> kNoPixels{2, 0};

// Peak resident memory of the process so far, in MB.
long PeakMemoryMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::string LoadError(const std::vector<uint8_t>& bytes,
                      const TGIFReadLimits& limits = TGIFReadLimits()) {
    TGIFImage document;
    document.SetReadLimits(limits);
    return gifdoc::ErrorOf([&] { gifdoc::Load(document, bytes); });
}

}  // namespace

TEST(GIFReadLimits, HugeDeclaredFramesAreRefusedWithoutTakingTheirMemory) {
    const long before = PeakMemoryMB();

    // 34 bytes declaring a frame of 65535 x 65535 pixels.
    std::vector<uint8_t> huge = Header(1, 1);
    AddFrame(huge, 65535, 65535, kNoPixels);
    huge.push_back(0x3B);
    EXPECT_EQ(LoadError(huge), "Frame too large: 65535 x 65535 pixels, at most 268435456");

    // Eight frames of the largest size allowed, none with data to fill it.
    std::vector<uint8_t> empty = Header(16384, 16384);
    for (int i = 0; i < 8; ++i) AddFrame(empty, 16384, 16384, kNoPixels);
    empty.push_back(0x3B);
    EXPECT_EQ(LoadError(empty), "Image data missing for 268435456 pixels");

    // A frame without size takes the logical screen's, which is bounded the same way.
    std::vector<uint8_t> screen = Header(65535, 65535);
    AddFrame(screen, 0, 0, kNoPixels);
    EXPECT_EQ(LoadError(screen),
              "Logical screen too large: 65535 x 65535 pixels, at most 268435456");

    EXPECT_LT(PeakMemoryMB() - before, 64);
}

TEST(GIFReadLimits, FramesCutShortKeepTheFillValueWhereTheDataStops) {
    // 40 x 24 pixels, interlaced, with a transparent index of 3; the file ends in the middle
    // of the image data.
    std::vector<uint8_t> pixels(40 * 24);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i / 40 % 3);
    const std::vector<uint8_t> data = codestream::Encode(geLZW, pixels, 40, 24, 2, true);
    const std::vector<uint8_t> cut(data.begin(), data.begin() + data.size() / 2);
    std::vector<uint8_t> file = Header(40, 24);
    file.insert(file.end(), {0x21, 0xF9, 4, 0x01, 0, 0, 3, 0});
    AddFrame(file, 40, 24, cut, 0x40);

    TGIFImage document;
    std::vector<std::string> warnings;
    gifdoc::CollectWarnings(document, warnings);
    gifdoc::Load(document, file);
    ASSERT_EQ(document.Images().Count(), 1);
    TGIFSubImage& frame = document.Images()[0];
    const std::vector<uint8_t> loaded(frame.PixelData(), frame.PixelData() + frame.DataSize());

    // The same as decoding into a frame allocated whole beforehand.
    const codestream::Decoded reference = codestream::Decode(cut, 40, 24, true, 3);
    EXPECT_EQ(loaded, reference.pixels);
    EXPECT_NE(loaded[39], 3);            // row 0, first pass: reached
    EXPECT_EQ(loaded[23 * 40 + 39], 3);  // row 23, last pass: not reached
    EXPECT_FALSE(warnings.empty());
}

TEST(GIFReadLimits, DocumentTotalCountsPixelsAndRecords) {
    TGIFImage source;
    for (int i = 0; i < 6; ++i) {
        TBitmap picture = gifdoc::Gradient(256, 256, i);
        source.Add(picture);
    }
    const std::vector<uint8_t> sixFrames = gifdoc::Save(source);

    TGIFImage plenty;
    gifdoc::Load(plenty, sixFrames);
    EXPECT_EQ(plenty.Images().Count(), 6);

    TGIFReadLimits tight;
    tight.MaxDocumentBytes = 256 * 256 * 4;
    EXPECT_EQ(LoadError(sixFrames, tight), "GIF needs more than 256 KB of memory");

    // A hundred thousand frames of a comment each, six bytes apiece (each ends with a zero byte
    // where the frame's image would stand), count their records.
    std::vector<uint8_t> comments = Header(1, 1);
    for (int i = 0; i < 100000; ++i) comments.insert(comments.end(), {0x21, 0xFE, 1, 'x', 0, 0});
    comments.push_back(0x3B);
    tight.MaxDocumentBytes = 16 << 20;
    EXPECT_EQ(LoadError(comments, tight), "GIF needs more than 16 MB of memory");
    TGIFImage loaded;
    gifdoc::Load(loaded, comments);
    EXPECT_EQ(loaded.Images().Count(), 100000);
    loaded.Clear();
    EXPECT_EQ(loaded.Images().Count(), 0);
}
