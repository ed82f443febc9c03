// LZW encoder: code stream layout, code widths, table resets, sub-block framing, and the writer.
#include <gtest/gtest.h>

#include <algorithm>

#include "CodeStreamTools.h"
#include "gif/GIFException.h"
#include "gif/GIFWriter.h"
#include "gif/LZWHashTable.h"

using namespace codestream;

TEST(LZWEncoder, StartsWithClearAndEndsWithEndCodeAndZeroPadding) {
    const std::vector<uint8_t> pixels{7, 7, 7, 200, 7, 7};
    const auto data = Encode(geLZW, pixels, 3, 2, 8);
    ASSERT_EQ(data[0], 8);
    const auto codes = ParseCodes(data);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes.front().value, 256);
    EXPECT_EQ(codes.front().width, 9);
    EXPECT_EQ(codes.back().value, 257);
    EXPECT_EQ(data.back(), 0);
}

TEST(LZWEncoder, SmallTablesUseCodeSizeTwo) {
    for (int bpp : {0, 1, 2}) {
        const auto data = Encode(geLZW, {1, 0, 1, 1}, 2, 2, std::max(bpp, 1));
        ASSERT_EQ(data[0], 2) << "bits per pixel " << bpp;
        const auto codes = ParseCodes(data);
        EXPECT_EQ(codes.front().value, 4);
        EXPECT_EQ(codes.back().value, 5);
    }
}

TEST(LZWEncoder, SinglePixelWritesClearPixelEnd) {
    const auto codes = ParseCodes(Encode(geLZW, {42}, 1, 1, 8));
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[0].value, 256);
    EXPECT_EQ(codes[1].value, 42);
    EXPECT_EQ(codes[2].value, 257);
}

TEST(LZWEncoder, EmptyFrameWritesOnlyEndCode) {
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-1, 3}}) {
        TMemoryStream stream;
        TLZWEncoder encoder;
        encoder.Compress(stream, 8, 256, nullptr, false, h, w);
        // code size, one block holding the 9-bit end code, terminator
        EXPECT_EQ(stream.Data(), (std::vector<uint8_t>{8, 2, 0x01, 0x01, 0}));
    }
}

// Random pixels miss the table on nearly every pixel, so tables fill quickly.
TEST(LZWEncoder, WidthGrowsOneCodeAfterTheTablePassesTheWidth) {
    const auto pixels = RandomPixels(4000, 256, 1);
    const auto codes = ParseCodes(Encode(geLZW, pixels, 100, 40, 8));
    // After a clear, output k is followed by assigning code 257 + k. Code 511 is assigned after
    // output 254, so output 255 is still 9 bits wide and output 256 is the first 10-bit one.
    ASSERT_GT(codes.size(), 300u);
    EXPECT_EQ(codes[255].sinceClear, 255);
    EXPECT_EQ(codes[255].width, 9);
    EXPECT_EQ(codes[256].width, 10);
    EXPECT_EQ(Decode(Encode(geLZW, pixels, 100, 40, 8), 100, 40).pixels, pixels);
}

TEST(LZWEncoder, ClearsAfterCode4094AndRestartsAtInitialWidth) {
    for (int bpp : {2, 5, 8}) {
        const auto pixels = RandomPixels(60000, 1 << bpp, 2 + bpp);
        const auto codes = ParseCodes(Encode(geLZW, pixels, 300, 200, bpp));
        const int clear = 1 << bpp;
        // Codes clear+2 .. 4094 are assigned after outputs 1 .. 4093-clear; the next miss emits
        // output 4094-clear and then the clear code.
        const int codesPerTable = 4094 - clear;
        int clears = 0;
        int maxWidth = 0;
        for (size_t i = 0; i < codes.size(); ++i) {
            maxWidth = std::max(maxWidth, codes[i].width);
            if (i == 0 || codes[i].value != clear) continue;
            ++clears;
            EXPECT_EQ(codes[i - 1].sinceClear, codesPerTable) << "bpp " << bpp;
            EXPECT_EQ(codes[i].width, 12);
            ASSERT_LT(i + 1, codes.size());
            EXPECT_EQ(codes[i + 1].width, bpp + 1);
        }
        EXPECT_GE(clears, 2) << "bpp " << bpp;
        EXPECT_EQ(maxWidth, 12);
        EXPECT_EQ(Decode(Encode(geLZW, pixels, 300, 200, bpp), 300, 200).pixels, pixels);
    }
}

TEST(LZWEncoder, InterlacedRowsAreWrittenInPassOrder) {
    // Rows 0, 1, 2 hold 10, 11, 12; a plain decode shows the order they were written in.
    const std::vector<uint8_t> pixels{10, 10, 11, 11, 12, 12};
    const auto written = Decode(Encode(geLZW, pixels, 2, 3, 4, true), 2, 3, false).pixels;
    EXPECT_EQ(written, (std::vector<uint8_t>{10, 10, 12, 12, 11, 11}));

    std::vector<uint8_t> rows(10);
    for (int r = 0; r < 10; ++r) rows[r] = static_cast<uint8_t>(r);
    const auto order = Decode(Encode(geLZW, rows, 1, 10, 4, true), 1, 10, false).pixels;
    EXPECT_EQ(order, (std::vector<uint8_t>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

TEST(GIFEncoder, PixelAtColourLimitFails) {
    for (TGIFEncoding encoding : {geLZW, geRLE}) {
        TMemoryStream stream;
        const std::vector<uint8_t> pixels{0, 1, 2, 3, 4, 5, 6, 7};
        auto encoder = CreateGIFEncoder(encoding);
        try {
            encoder->Compress(stream, 3, 7, pixels.data(), false, 2, 4);
            FAIL() << "pixel 7 of a 7-colour table accepted";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Color not in color table");
        }
        EXPECT_NO_THROW(encoder->Compress(stream, 3, 8, pixels.data(), false, 2, 4));
        // The same encoder object is reusable after a failure.
        EXPECT_EQ(Decode(Encode(encoding, pixels, 4, 2, 3), 4, 2).pixels, pixels);
    }
}

TEST(GIFEncoder, LimitAboveTheCodeSizeStillRejectsUnrepresentableIndices) {
    // A 2-bit code size cannot carry index 4 (it is the clear code) whatever the limit claims.
    TMemoryStream stream;
    const std::vector<uint8_t> pixels{0, 4};
    EXPECT_THROW(TLZWEncoder().Compress(stream, 2, 256, pixels.data(), false, 1, 2), GIFException);
}

TEST(GIFEncoder, SubBlocksAreFullExceptTheLast) {
    for (TGIFEncoding encoding : {geLZW, geRLE}) {
        const auto data = Encode(encoding, RandomPixels(50000, 256, 9), 250, 200, 8);
        size_t pos = 1;
        std::vector<size_t> lengths;
        while (data[pos] != 0) {
            lengths.push_back(data[pos]);
            pos += 1 + data[pos];
        }
        EXPECT_EQ(pos + 1, data.size());
        ASSERT_GT(lengths.size(), 2u);
        for (size_t i = 0; i + 1 < lengths.size(); ++i) EXPECT_EQ(lengths[i], 255u);
        EXPECT_GE(lengths.back(), 1u);
    }
}

TEST(GIFWriter, PacksBytesIntoBlocksAndRefusesReadAndSeek) {
    TMemoryStream target;
    {
        TGIFWriter writer(target);
        std::vector<uint8_t> bytes(600, 0xAB);
        writer.WriteBuffer(bytes.data(), bytes.size());
        uint8_t byte;
        EXPECT_THROW(writer.Read(&byte, 1), GIFException);
        try {
            writer.Seek(0, TSeekOrigin::soBeginning);
            FAIL();
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation");
        }
    }
    const auto& out = target.Data();
    ASSERT_EQ(out.size(), 603u);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[256], 255);
    EXPECT_EQ(out[512], 90);

    TMemoryStream untouched;
    { TGIFWriter writer(untouched); }
    EXPECT_TRUE(untouched.Data().empty()) << "an empty writer must not write a zero-length block";
}

TEST(HashTable, FindsStoredKeysAndNeverProbesForeverWhenFull) {
    auto table = std::make_unique<THashTable>();
    table->Clear();
    EXPECT_EQ(table->Lookup(THashTable::Key(300, 5)), THashTable::kNotFound);
    ASSERT_TRUE(table->Insert(THashTable::Key(300, 5), 1234));
    EXPECT_EQ(table->Lookup(THashTable::Key(300, 5)), 1234);

    // Fill every slot the probe sequences can reach; lookups and inserts must then give up.
    int stored = 1;
    for (uint32_t key = 0; key < (1u << 20) - 1 && stored < THashTable::kSize; ++key) {
        if (key != THashTable::Key(300, 5) && table->Insert(key, static_cast<int>(key & 0xFFF))) ++stored;
    }
    EXPECT_EQ(stored, THashTable::kSize);
    EXPECT_FALSE(table->Insert(THashTable::Key(4094, 255), 1));
    int freeSlot = 0;
    EXPECT_EQ(table->Lookup(THashTable::Key(4094, 255), freeSlot), THashTable::kNotFound);
    EXPECT_EQ(freeSlot, THashTable::kNotFound);
    EXPECT_EQ(table->Lookup(THashTable::Key(300, 5)), 1234);
}
