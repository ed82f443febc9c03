// Decoder: round trips with both encoders, interlaced row order, sub-block handling, damaged and
// hostile data.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "CodeStreamTools.h"
#include "gif/GIFException.h"

using namespace codestream;

namespace {

// Image data whose sub-blocks hold `blockSize` bytes each.
std::vector<uint8_t> Reblock(const std::vector<uint8_t>& data, size_t blockSize) {
    const auto bytes = JoinSubBlocks(data);
    std::vector<uint8_t> out{data[0]};
    for (size_t pos = 0; pos < bytes.size(); pos += blockSize) {
        const size_t length = std::min(blockSize, bytes.size() - pos);
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), bytes.begin() + pos, bytes.begin() + pos + length);
    }
    out.push_back(0);
    return out;
}

std::vector<uint8_t> WithMarker(std::vector<uint8_t> data) {
    data.push_back(0x3B);
    return data;
}

}  // namespace

TEST(GIFDecoder, RoundTripsEveryDepthSizeAndOrder) {
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 3}, {7, 5},
                                         {13, 17}, {64, 48}, {5, 100}};
    for (TGIFEncoding encoding : {geLZW, geRLE}) {
        for (int bpp = 1; bpp <= 8; ++bpp) {
            for (auto [w, h] : sizes) {
                for (bool interlaced : {false, true}) {
                    const size_t n = static_cast<size_t>(w) * h;
                    for (const auto& pixels : {RandomPixels(n, 1 << bpp, bpp * 100 + w),
                                               RunPixels(n, 1 << bpp, 12, bpp * 7 + h)}) {
                        const auto decoded = Decode(Encode(encoding, pixels, w, h, bpp, interlaced), w, h,
                                                    interlaced);
                        ASSERT_EQ(decoded.pixels, pixels) << "encoding " << int(encoding) << " bpp " << bpp
                                                          << " " << w << "x" << h << " interlaced "
                                                          << interlaced;
                        EXPECT_TRUE(decoded.warnings.empty());
                    }
                }
            }
        }
    }
}

TEST(GIFDecoder, InterlacedDataFillsRowsPassByPass) {
    for (int height : {1, 2, 3, 4, 5, 8, 9, 17}) {
        // Rows in stream order carry their position in the stream.
        std::vector<uint8_t> streamOrder(static_cast<size_t>(height));
        for (int i = 0; i < height; ++i) streamOrder[i] = static_cast<uint8_t>(i);
        const auto decoded = Decode(Encode(geLZW, streamOrder, 1, height, 5), 1, height, true);
        std::vector<uint8_t> expected(static_cast<size_t>(height));
        int position = 0;
        for (auto [first, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
            for (int row = first; row < height; row += step) expected[row] = static_cast<uint8_t>(position++);
        }
        EXPECT_EQ(decoded.pixels, expected) << "height " << height;
    }
}

TEST(GIFDecoder, CodesStraddlingTinySubBlocksDecode) {
    const auto pixels = RandomPixels(4000, 256, 77);
    const auto data = Encode(geLZW, pixels, 80, 50, 8);
    for (size_t blockSize : {1u, 2u, 3u, 7u}) {
        const auto decoded = Decode(WithMarker(Reblock(data, blockSize)), 80, 50);
        EXPECT_EQ(decoded.pixels, pixels) << "blocks of " << blockSize;
        EXPECT_EQ(decoded.position, static_cast<int64_t>(Reblock(data, blockSize).size()));
    }
}

TEST(GIFDecoder, LeavesTheStreamAfterTheTerminator) {
    const auto pixels = RunPixels(16 * 16, 16, 5, 3);
    const auto data = Encode(geLZW, pixels, 16, 16, 4);
    const auto end = static_cast<int64_t>(data.size());
    // Exactly the frame; a larger frame (the end code comes early); a smaller frame (codes are left).
    auto exact = Decode(WithMarker(data), 16, 16);
    EXPECT_EQ(exact.position, end);
    auto larger = Decode(WithMarker(data), 16, 20, false, 0xEE);
    EXPECT_EQ(larger.position, end);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), larger.pixels.begin()));
    EXPECT_TRUE(std::all_of(larger.pixels.begin() + 256, larger.pixels.end(), [](uint8_t p) { return p == 0xEE; }));
    auto smaller = Decode(WithMarker(data), 16, 4);
    EXPECT_EQ(smaller.position, end) << "leftover codes must not be left in the stream";
    EXPECT_TRUE(std::equal(smaller.pixels.begin(), smaller.pixels.end(), pixels.begin()));
}

TEST(GIFDecoder, CodeSizeAboveEightIsReadAsEight) {
    const auto pixels = RandomPixels(300, 256, 5);
    auto data = Encode(geLZW, pixels, 30, 10, 8);
    data[0] = 11;
    EXPECT_EQ(Decode(data, 30, 10).pixels, pixels);
}

TEST(GIFDecoder, TruncatedDataWarnsAndKeepsWhatArrived) {
    const auto pixels = RunPixels(64 * 48, 128, 6, 11);
    const auto data = Encode(geLZW, pixels, 64, 48, 7);
    for (size_t cut : {size_t{1}, size_t{2}, size_t{100}, data.size() / 2, data.size() - 3}) {
        const std::vector<uint8_t> head(data.begin(), data.begin() + cut);
        const auto decoded = Decode(head, 64, 48, false, 200);
        if (cut > 2) {
            EXPECT_NE(std::find(decoded.warnings.begin(), decoded.warnings.end(), "Premature end of data"),
                      decoded.warnings.end())
                << "cut at " << cut;
        }
        // What was decoded is a correct prefix; the rest keeps the fill value.
        const auto firstFill = std::find(decoded.pixels.begin(), decoded.pixels.end(), 200);
        EXPECT_TRUE(std::equal(decoded.pixels.begin(), firstFill, pixels.begin()));
        EXPECT_TRUE(std::all_of(firstFill, decoded.pixels.end(), [](uint8_t p) { return p == 200; }));
        EXPECT_LT(firstFill - decoded.pixels.begin(), 64 * 48);
    }
}

TEST(GIFDecoder, DataWithoutEndCodeWarnsOfUnderRun) {
    // clear, pixels 1 2 3 0 (two whole bytes), then the data ends without an end code
    const auto complete = Decode(PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}}), 2, 2);
    EXPECT_EQ(complete.pixels, (std::vector<uint8_t>{1, 2, 3, 0}));
    EXPECT_EQ(complete.warnings, (std::vector<std::string>{"Decoder bit buffer under-run"}));

    const auto shortData = Decode(PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}}), 3, 3, false, 9);
    EXPECT_EQ(shortData.pixels, (std::vector<uint8_t>{1, 2, 3, 0, 9, 9, 9, 9, 9}));
    EXPECT_EQ(shortData.warnings, (std::vector<std::string>{"Decoder bit buffer under-run"}));

    EXPECT_TRUE(Decode({}, 2, 2).warnings.empty()) << "no code size byte: nothing to decode";
}

TEST(GIFDecoder, TableLoopsRaiseCircularEntry) {
    // Code size 2 (clear 4, end 5). After the clear: 0, then 7 twice. The first 7 is beyond the
    // table and repeats the previous code; the second lands on the entry it just created, whose
    // prefix is 7 itself. The third 7 then walks into that entry.
    const auto selfLoop = PackCodes(2, {{4, 3}, {0, 3}, {7, 3}, {7, 3}, {7, 4}, {5, 4}});
    // After the clear: 7, 6, 0 makes entry 6 point to 7 and entry 7 point to 6.
    const auto pairLoop = PackCodes(2, {{4, 3}, {7, 3}, {6, 3}, {0, 3}, {6, 4}, {5, 4}});
    for (const auto& data : {selfLoop, pairLoop}) {
        try {
            Decode(data, 8, 8);
            FAIL() << "loop not detected";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Circular decoder table entry");
        }
    }
}

TEST(GIFDecoder, HostileDataNeverCrashes) {
    std::mt19937 rng(2024);
    const auto valid = Encode(geLZW, RunPixels(40 * 30, 64, 9, 1), 40, 30, 6);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> data;
        if (round % 2 == 0) {
            data.resize(rng() % 700);
            for (auto& b : data) b = static_cast<uint8_t>(rng());
        } else {
            data = valid;
            for (int flips = 1 + static_cast<int>(rng() % 8); flips > 0; --flips) {
                data[rng() % data.size()] = static_cast<uint8_t>(rng());
            }
        }
        const int w = 1 + static_cast<int>(rng() % 50);
        const int h = 1 + static_cast<int>(rng() % 50);
        try {
            const auto decoded = Decode(data, w, h, round % 3 == 0);
            EXPECT_LE(decoded.position, static_cast<int64_t>(data.size()));
        } catch (const GIFException&) {
            // Rejecting the data is fine; crashing or hanging is not.
        }
    }
}
