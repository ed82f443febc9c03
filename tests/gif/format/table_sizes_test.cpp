// Documents whose frames carry local colour tables larger than the global one, written, loaded
// and saved again: the header gives the size of the global table it is followed by, so the
// project's reader and Pillow read every frame and the looping extension of the copy.
#include <gtest/gtest.h>

#include <random>

#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "tests/common/TestSupport.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/PillowReadBack.h"

using namespace animation;

namespace {

std::vector<TGIFColor> RandomColors(std::mt19937& random, int count) {
    std::vector<TGIFColor> colors;
    for (int i = 0; i < count; ++i)
        colors.push_back({static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                          static_cast<uint8_t>(random())});
    return colors;
}

std::vector<uint8_t> RandomPixels(std::mt19937& random, int count, int colors) {
    std::vector<uint8_t> pixels(static_cast<size_t>(count));
    for (uint8_t& pixel : pixels) pixel = static_cast<uint8_t>(random() % colors);
    return pixels;
}

// A looping animation on a global table of 2 to 16 colours: a first frame covering the screen,
// then frames with local tables of up to 256 colours and frames on the global table.
void Generate(TGIFImage& document, std::mt19937& random) {
    const int width = 6 + static_cast<int>(random() % 5);
    const int height = 4 + static_cast<int>(random() % 4);
    const int globalColors = 2 + static_cast<int>(random() % 15);
    SetGlobalColors(document, RandomColors(random, globalColors));
    TGIFSubImage& first = AddFrame(
        document, {0, 0, width, height, RandomPixels(random, width * height, globalColors), 10});
    first.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&first));
    const int frames = 2 + static_cast<int>(random() % 3);
    for (int i = 0; i < frames; ++i) {
        const int w = 1 + static_cast<int>(random() % width);
        const int h = 1 + static_cast<int>(random() % height);
        const int left = static_cast<int>(random() % (width - w + 1));
        const int top = static_cast<int>(random() % (height - h + 1));
        const bool local = i % 2 == 0;
        const int colors =
            local ? globalColors + 1 + static_cast<int>(random() % 200) : globalColors;
        AddFrame(document, {left, top, w, h, RandomPixels(random, w * h, colors), 10, dmNone, -1,
                            local ? RandomColors(random, colors) : std::vector<TGIFColor>{}});
    }
}

uint32_t Rgba(uint32_t rgb) { return rgb << 8 | 0xFF; }

TEST(TableSizes, CopiesOfDocumentsWithLargerLocalTablesReadWhole) {
    SKIP_WITHOUT_PILLOW();
    testsupport::TempDir dir;
    std::mt19937 random(25);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        TGIFImage generated;
        Generate(generated, random);
        const TShownPictures pictures = ShownPictures(generated);
        const int globalBits = generated.Header().ColorMap().BitsPerPixel();
        const std::string original = dir.File("generated.gif");
        generated.SaveToFile(original);

        // load and save: the copy is written from what the reader made of the file
        TGIFImage loaded;
        loaded.LoadFromFile(original);
        ASSERT_EQ(loaded.Images().Count(), generated.Images().Count());
        const std::string copy = dir.File("copy.gif");
        loaded.SaveToFile(copy);

        const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(copy);
        ASSERT_GT(bytes.size(), 13u);
        EXPECT_EQ(bytes[10] & 0x80, 0x80) << "a global table follows";
        EXPECT_EQ((bytes[10] & 0x07) + 1, globalBits) << "of the global table's own size";

        TGIFImage reread;
        reread.LoadFromFile(copy);
        const TShownPictures shown = ShownPictures(reread);
        ASSERT_EQ(shown.pictures.size(), pictures.pictures.size());
        for (size_t i = 0; i < shown.pictures.size(); ++i)
            EXPECT_TRUE(shown.pictures[i] == pictures.pictures[i]) << "frame " << i;

        const pillow::TPillowGif pillow = pillow::Read(copy, dir.Path());
        ASSERT_TRUE(pillow.Read) << pillow.Error;
        EXPECT_EQ(pillow.Loop, 0) << "loops for ever";
        ASSERT_EQ(pillow.Frames, static_cast<int>(pictures.pictures.size()));
        for (size_t i = 0; i < pictures.pictures.size(); ++i) {
            const TPicture& expected = pictures.pictures[i];
            ASSERT_EQ(pillow.Pictures[i].size(), expected.size()) << "frame " << i;
            for (size_t p = 0; p < expected.size(); ++p)
                ASSERT_EQ(pillow.Pictures[i][p], Rgba(expected[p]))
                    << "frame " << i << " pixel " << p;
        }
    }
}

}  // namespace
