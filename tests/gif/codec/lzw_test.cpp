// LZW encoder and the parts every encoder shares: code stream layout, code widths, table resets,
// colour checks, sub-block writing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "gif/codec/LZWEncoder.h"
#include "gif/codec/LZWHashTable.h"
#include "gif/core/GIFException.h"
#include "tests/gif/CodeStreamTools.h"

using namespace codestream;

TEST(LZWEncoder, FrameIsClearPixelsEnd) {
    const auto data = Encode(geLZW, {42}, 1, 1, 8);
    EXPECT_EQ(data[0], 8);
    const auto codes = ParseCodes(data);
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[0].value, 256);
    EXPECT_EQ(codes[0].width, 9);
    EXPECT_EQ(codes[1].value, 42);
    EXPECT_EQ(codes[2].value, 257);

    for (int bpp : {0, 1, 2}) {  // two colours still use code size 2: clear 4, end 5
        const auto small = Encode(geLZW, {1, 0, 1, 1}, 2, 2, std::max(bpp, 1));
        EXPECT_EQ(small[0], 2);
        EXPECT_EQ(ParseCodes(small).front().value, 4);
    }

    TMemoryStream empty;  // no pixels: the end code alone
    TLZWEncoder().Compress(empty, 8, 256, nullptr, false, 0, 5);
    EXPECT_EQ(empty.Data(), (std::vector<uint8_t>{8, 2, 0x01, 0x01, 0}));
}

// Random pixels miss the table almost every time, so tables fill and reset.
TEST(LZWEncoder, WidthsGrowLateAndResetAfterCode4094) {
    for (int bpp : {2, 5, 8}) {
        const auto pixels = RandomPixels(60000, 1 << bpp, bpp);
        const auto data = Encode(geLZW, pixels, 300, 200, bpp);
        const auto codes = ParseCodes(data);
        const int clear = 1 << bpp;
        if (bpp == 8) {
            // Output k after a clear is followed by assigning code 257 + k: code 511 comes after
            // output 254, so output 255 is still 9 bits wide and output 256 is 10.
            EXPECT_EQ(codes[255].width, 9);
            EXPECT_EQ(codes[256].width, 10);
        }
        int clears = 0, maxWidth = 0;
        for (size_t i = 1; i + 1 < codes.size(); ++i) {
            maxWidth = std::max(maxWidth, codes[i].width);
            if (codes[i].value != clear) continue;
            ++clears;  // the miss after code 4094 was assigned: output 4094 - clear, then clear
            EXPECT_EQ(codes[i - 1].sinceClear, 4094 - clear);
            EXPECT_EQ(codes[i].width, 12);
            EXPECT_EQ(codes[i + 1].width, bpp + 1);
        }
        EXPECT_GE(clears, 2);
        EXPECT_EQ(maxWidth, 12);
        EXPECT_EQ(Decode(data, 300, 200).pixels, pixels);
    }
}

TEST(LZWEncoder, InterlacedHeightThreeWritesRowsZeroTwoOne) {
    const auto written =
        Decode(Encode(geLZW, {10, 10, 11, 11, 12, 12}, 2, 3, 4, true), 2, 3).pixels;
    EXPECT_EQ(written, (std::vector<uint8_t>{10, 10, 12, 12, 11, 11}));
}

TEST(GIFEncoder, IndexNotBelowTheColourLimitFails) {
    const std::vector<uint8_t> pixels{0, 1, 2, 3, 4, 5, 6, 7};
    for (TGIFEncoding encoding : {geLZW, geRLE}) {
        TMemoryStream stream;
        auto encoder = CreateGIFEncoder(encoding);
        try {
            encoder->Compress(stream, 3, 7, pixels.data(), false, 2, 4);
            ADD_FAILURE() << "index 7 of a 7-colour table accepted";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Color not in color table");
        }
        // A limit above what the code size can carry does not let the clear code through as a
        // pixel.
        EXPECT_THROW(encoder->Compress(stream, 2, 256, pixels.data(), false, 1, 5), GIFException);
        // The encoder is usable again after a failure.
        TMemoryStream again;
        encoder->Compress(again, 3, 8, pixels.data(), false, 2, 4);
        EXPECT_EQ(Decode(again.Data(), 4, 2).pixels, pixels);
    }
}

TEST(GIFWriter, WritesFullBlocksThenTheRestAndRefusesReadAndSeek) {
    TMemoryStream target;
    {
        TGIFWriter writer(target);
        const std::vector<uint8_t> bytes(600, 0xAB);
        writer.WriteBuffer(bytes.data(), bytes.size());
        uint8_t byte;
        EXPECT_THROW(writer.Read(&byte, 1), GIFException);
        try {
            writer.Seek(0, TSeekOrigin::soBeginning);
            ADD_FAILURE();
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation");
        }
    }
    // 255 + 255 + 90 bytes, each block after its length
    auto expected = MakeSubBlocks(0, std::vector<uint8_t>(600, 0xAB));
    expected.erase(expected.begin());
    expected.pop_back();
    EXPECT_EQ(target.Data(), expected);

    TMemoryStream untouched;
    { TGIFWriter writer(untouched); }
    EXPECT_TRUE(untouched.Data().empty()) << "no zero-length block from an empty writer";
}

// Strings of a code and a pixel in random order until the hashed table is full: each is found
// again with its code, and the table refuses more than its capacity. Two-pixel strings, which
// have a table of their own, are found after that too. Then, after a clear, strings of every
// length grown as the encoder grows them, through the strings the table gives back.
TEST(HashTable, FindsEveryStringUntilFullAndRefusesMore) {
    auto table = std::make_unique<THashTable>();
    std::mt19937 rng(3);
    auto codeString = [](int code) {
        return THashTable::TString{static_cast<uint32_t>(code), static_cast<uint32_t>(code) << 2};
    };
    std::vector<int> keys(3840 * 256);  // prefix code 256..4095, pixel
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int>(i + 256 * 256);
    std::shuffle(keys.begin(), keys.end(), rng);
    keys.resize(THashTable::kCapacity);
    for (size_t i = 0; i < keys.size(); ++i) {
        THashTable::TString string = codeString(keys[i] >> 8);
        uint32_t slot = THashTable::kSize;
        ASSERT_FALSE(table->Extend(string, keys[i] & 0xFF, slot));
        ASSERT_LT(slot, static_cast<uint32_t>(THashTable::kSize));
        table->StoreAt(slot, codeString(keys[i] >> 8), keys[i] & 0xFF, static_cast<int>(i % 4096));
    }
    for (int pair = 0; pair < 4000; ++pair)
        ASSERT_TRUE(table->Insert(THashTable::Pixel(pair / 256), pair % 256, 4095 - pair % 3000));
    for (size_t i = 0; i < keys.size(); ++i) {
        THashTable::TString string = codeString(keys[i] >> 8);
        uint32_t slot;
        ASSERT_TRUE(table->Extend(string, keys[i] & 0xFF, slot));
        ASSERT_EQ(string.code, i % 4096);
    }
    for (int pair = 0; pair < 4000; ++pair) {
        THashTable::TString string = THashTable::Pixel(pair / 256);
        uint32_t slot;
        ASSERT_TRUE(table->Extend(string, pair % 256, slot));
        ASSERT_EQ(string.code, static_cast<uint32_t>(4095 - pair % 3000));
    }
    EXPECT_FALSE(table->Insert(codeString(keys[0] >> 8), keys[0] & 0xFF, 1)) << "already there";
    EXPECT_FALSE(table->Insert(THashTable::Pixel(0), 0, 1)) << "already there";
    int unused = 256 * 256;
    while (std::find(keys.begin(), keys.end(), unused) != keys.end()) ++unused;
    EXPECT_FALSE(table->Insert(codeString(unused >> 8), unused & 0xFF, 1)) << "full";

    table->Clear();
    struct Stored {
        THashTable::TString prefix;
        int pixel;
        int code;
    };
    std::vector<Stored> stored;
    std::vector<THashTable::TString> strings;
    for (int pixel = 0; pixel < 256; ++pixel) {
        strings.push_back(THashTable::Pixel(pixel));
        THashTable::TString string = THashTable::Pixel(pixel);
        uint32_t slot;
        ASSERT_FALSE(table->Extend(string, 255 - pixel, slot)) << "cleared";
    }
    for (int code = 258; code <= 4094;) {
        THashTable::TString string = strings[rng() % strings.size()];
        const THashTable::TString prefix = string;
        const int pixel = static_cast<int>(rng() % 256);
        uint32_t slot;
        if (table->Extend(string, pixel, slot)) continue;
        table->StoreAt(slot, prefix, pixel, code);
        stored.push_back({prefix, pixel, code++});
        ASSERT_TRUE(table->Extend(string, pixel, slot));
        strings.push_back(string);
    }
    for (const Stored& s : stored) {
        THashTable::TString string = s.prefix;
        uint32_t slot;
        ASSERT_TRUE(table->Extend(string, s.pixel, slot));
        ASSERT_EQ(string.code, static_cast<uint32_t>(s.code));
    }
}
