// Decoder: round trips with both encoders, interlaced row order, sub-block handling, damaged and
// hostile data.
#include <gtest/gtest.h>

#include <algorithm>

#include "gif/core/GIFException.h"
#include "tests/gif/CodeStreamTools.h"

using namespace codestream;

TEST(GIFDecoder, RoundTripsEveryDepthSizeAndOrder) {
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {9, 1},   {2, 2},
                                         {3, 3}, {7, 5}, {13, 17}, {64, 48}};
    for (TGIFEncoding encoding : {geLZW, geRLE}) {
        for (int bpp = 1; bpp <= 8; ++bpp) {
            for (auto [w, h] : sizes) {
                for (bool interlaced : {false, true}) {
                    const size_t n = static_cast<size_t>(w) * h;
                    for (const auto& pixels :
                         {RandomPixels(n, 1 << bpp, w), RunPixels(n, 1 << bpp, 12, h)}) {
                        const auto decoded = Decode(Encode(encoding, pixels, w, h, bpp, interlaced),
                                                    w, h, interlaced);
                        ASSERT_EQ(decoded.pixels, pixels)
                            << "encoding " << int(encoding) << " bpp " << bpp << " " << w << "x"
                            << h << " interlaced " << interlaced;
                        EXPECT_TRUE(decoded.warnings.empty());
                    }
                }
            }
        }
    }
}

TEST(GIFDecoder, InterlacedDataFillsRowsPassByPass) {
    for (int height : {1, 2, 3, 4, 5, 8, 9, 17}) {
        std::vector<uint8_t> streamOrder(
            static_cast<size_t>(height));  // each row holds its position
        for (int i = 0; i < height; ++i) streamOrder[i] = static_cast<uint8_t>(i);
        std::vector<uint8_t> expected(static_cast<size_t>(height));
        int position = 0;
        for (auto [first, step] :
             {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
            for (int row = first; row < height; row += step)
                expected[row] = static_cast<uint8_t>(position++);
        }
        EXPECT_EQ(Decode(Encode(geLZW, streamOrder, 1, height, 5), 1, height, true).pixels,
                  expected);
    }
}

TEST(GIFDecoder, ReadsCodesAcrossTinySubBlocksAndStopsAfterTheTerminator) {
    const auto pixels = RandomPixels(4000, 256, 77);
    const auto bytes = JoinSubBlocks(Encode(geLZW, pixels, 80, 50, 8));
    for (size_t blockSize : {1u, 2u, 3u, 255u}) {
        auto data = MakeSubBlocks(8, bytes, blockSize);
        const auto end = static_cast<int64_t>(data.size());
        data.push_back(0x3B);  // what follows the image data must stay unread
        EXPECT_EQ(Decode(data, 80, 50).pixels, pixels) << "blocks of " << blockSize;
        EXPECT_EQ(Decode(data, 80, 50).position, end);
        // A taller frame meets the end code early and keeps its fill; a shorter one leaves codes.
        const auto taller = Decode(data, 80, 60, false, 0xEE);
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), taller.pixels.begin()));
        EXPECT_TRUE(std::all_of(taller.pixels.begin() + 4000, taller.pixels.end(),
                                [](uint8_t p) { return p == 0xEE; }));
        EXPECT_EQ(taller.position, end);
        const auto shorter = Decode(data, 80, 10);
        EXPECT_TRUE(std::equal(shorter.pixels.begin(), shorter.pixels.end(), pixels.begin()));
        EXPECT_EQ(shorter.position, end) << "leftover codes must be skipped";
    }
    auto wide = Encode(geLZW, pixels, 80, 50, 8);
    wide[0] = 11;  // code sizes above 8 are read as 8
    EXPECT_EQ(Decode(wide, 80, 50).pixels, pixels);
}

TEST(GIFDecoder, FullTableKeepsTwelveBitCodes) {
    // An encoder may go on without a clear once the table is full: the codes stay 12 bits wide.
    std::vector<std::pair<int, int>> codes{{4, 3}};
    int width = 3;
    for (int next = 6; next <= 4096 + 10; ++next) {
        codes.push_back({next > 4096 ? 1 : 0, width});
        if (next > 6 && next == (1 << width) && width < 12) ++width;
    }
    codes.push_back({5, 12});
    const int count = static_cast<int>(codes.size()) - 2;
    const auto decoded = Decode(PackCodes(2, codes), count, 1);
    EXPECT_EQ(std::count(decoded.pixels.begin(), decoded.pixels.end(), 1), 10);
    EXPECT_EQ(std::count(decoded.pixels.begin(), decoded.pixels.begin() + count - 10, 0),
              count - 10);
    EXPECT_TRUE(decoded.warnings.empty());
}

TEST(GIFDecoder, TruncatedDataWarnsAndKeepsWhatArrived) {
    const auto pixels = RunPixels(64 * 48, 128, 6, 11);
    const auto data = Encode(geLZW, pixels, 64, 48, 7);
    for (size_t cut : {size_t{1}, size_t{100}, data.size() / 2, data.size() - 4}) {
        const auto decoded = Decode({data.begin(), data.begin() + cut}, 64, 48, false, 200);
        if (cut > 2) {
            EXPECT_EQ(decoded.warnings.at(0), "Premature end of data");
        }
        // A correct prefix, then the fill value.
        const auto firstFill = std::find(decoded.pixels.begin(), decoded.pixels.end(), 200);
        EXPECT_TRUE(std::equal(decoded.pixels.begin(), firstFill, pixels.begin()));
        EXPECT_EQ(std::count(firstFill, decoded.pixels.end(), 200),
                  decoded.pixels.end() - firstFill);
        EXPECT_NE(firstFill, decoded.pixels.end()) << "the last code was cut off";
    }
    // Clear, pixels 1 2 3 0 filling two bytes, and no end code.
    const auto noEnd = PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}});
    for (int height : {2, 3}) {
        const auto decoded = Decode(noEnd, 2, height, false, 9);
        EXPECT_TRUE(std::equal(decoded.pixels.begin(), decoded.pixels.begin() + 4,
                               std::begin({1, 2, 3, 0})));
        EXPECT_EQ(decoded.warnings, (std::vector<std::string>{"Decoder bit buffer under-run"}));
    }
    EXPECT_TRUE(Decode({}, 2, 2).warnings.empty()) << "no code size byte: nothing to decode";
}

TEST(GIFDecoder, TableLoopsRaiseCircularEntry) {
    // Code size 2: clear 4, end 5. After the clear, 0 then 7 twice: entry 7 gets prefix 7.
    const auto selfLoop = PackCodes(2, {{4, 3}, {0, 3}, {7, 3}, {7, 3}, {7, 4}, {5, 4}});
    // After the clear, 7 6 0: entry 6 gets prefix 7 and entry 7 prefix 6.
    const auto pairLoop = PackCodes(2, {{4, 3}, {7, 3}, {6, 3}, {0, 3}, {6, 4}, {5, 4}});
    for (const auto& data : {selfLoop, pairLoop}) {
        try {
            Decode(data, 8, 8);
            ADD_FAILURE() << "loop not detected";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Circular decoder table entry");
        }
    }
}

TEST(GIFDecoder, HostileDataNeverCrashes) {
    std::mt19937 rng(2024);
    const auto valid = Encode(geLZW, RunPixels(40 * 30, 64, 9, 1), 40, 30, 6);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> data =
            valid;  // random bytes, or a valid stream with a few bytes changed
        if (round % 2 == 0) data.resize(rng() % 700);
        for (size_t i = 0, changes = round % 2 ? 1 + rng() % 8 : data.size(); i < changes; ++i) {
            data[round % 2 ? rng() % data.size() : i] = static_cast<uint8_t>(rng());
        }
        const int w = 1 + static_cast<int>(rng() % 50), h = 1 + static_cast<int>(rng() % 50);
        try {
            EXPECT_LE(Decode(data, w, h, round % 3 == 0).position,
                      static_cast<int64_t>(data.size()));
        } catch (const GIFException&) {
            // Rejecting the data is fine; crashing, hanging or writing outside the buffer is not.
        }
    }
}
