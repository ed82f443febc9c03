// Run-length encoder: its cost arithmetic, and that the code streams it writes decode to the pixels
// it was given while staying within what a GIF decoder's table allows.
#include <gtest/gtest.h>

#include <cmath>

#include "CodeStreamTools.h"
#include "gif/RLEEncoder.h"

using namespace codestream;

TEST(RunLengthCost, NewtonSquareRootIsTheFloorOfTheRoot) {
    for (uint64_t x = 0; x < 70000; ++x) {
        const uint64_t r = NewtonIntegerSqrt(x);
        ASSERT_LE(r * r, x) << x;
        ASSERT_GT((r + 1) * (r + 1), x) << x;
    }
    for (uint64_t r : {65535ull, 65536ull, 1000003ull, 4294967295ull}) {
        EXPECT_EQ(NewtonIntegerSqrt(r * r), r);
        EXPECT_EQ(NewtonIntegerSqrt(r * r - 1), r - 1);
        EXPECT_EQ(NewtonIntegerSqrt(r * r + 2 * r), r);
    }
}

TEST(RunLengthCost, TriangleCostCountsCodesOfGrowingRuns) {
    // Codes for runs 1, 2, 3 ... up to c pixels cover a triangle; count them the slow way.
    for (uint64_t codes : {1ull, 2ull, 5ull, 62ull, 3837ull}) {
        for (uint64_t count = 0; count < 3000; ++count) {
            uint64_t left = count, spent = 0, run = 1;
            while (left > 0) {
                left -= std::min(left, run);
                ++spent;
                run = run == codes ? 1 : run + 1;
            }
            ASSERT_EQ(RunTriangleCost(count, codes), spent) << count << " pixels, " << codes << " codes";
        }
    }
    EXPECT_EQ(RunTriangleCost(4294836225ull, 3837), 4294836225ull / 7363203 * 3837 +
                                                        RunTriangleCost(4294836225ull % 7363203, 3837));
}

// Every code must be one a decoder can read: never above the next table entry, never over 12 bits.
void ExpectDecodableCodes(const std::vector<uint8_t>& data) {
    const int clear = 1 << data[0];
    int next = clear + 2;
    for (const Code& code : ParseCodes(data)) {
        ASSERT_LE(code.width, 12);
        if (code.value == clear) {
            next = clear + 2;
            continue;
        }
        if (code.value == clear + 1) break;
        if (code.sinceClear == 1) {
            ASSERT_LT(code.value, clear) << "first code after a clear must be a pixel";
            continue;
        }
        ASSERT_LE(code.value, next) << "code beyond the decoder's table";
        next = std::min(next + 1, 4096);
    }
}

void ExpectRoundTrip(const std::vector<uint8_t>& pixels, int width, int height, int bpp,
                     bool interlaced = false) {
    const auto data = Encode(geRLE, pixels, width, height, bpp, interlaced);
    ExpectDecodableCodes(data);
    const auto decoded = Decode(data, width, height, interlaced);
    EXPECT_TRUE(decoded.warnings.empty());
    EXPECT_EQ(decoded.pixels, pixels) << width << "x" << height << " bpp " << bpp;
}

TEST(RLEEncoder, RunsOfEveryLengthRoundTrip) {
    for (int bpp = 1; bpp <= 8; ++bpp) {
        // Runs of length 1, 2, 3 ... of alternating values, then the same lengths of one value
        // separated by single pixels of another, so the run table is reused and outgrown.
        std::vector<uint8_t> pixels;
        const uint8_t top = static_cast<uint8_t>((1 << bpp) - 1);
        for (int run = 1; run <= 120; ++run) pixels.insert(pixels.end(), run, run % 2 ? 0 : top);
        for (int run = 1; run <= 120; ++run) {
            pixels.insert(pixels.end(), run, top);
            pixels.push_back(0);
        }
        for (int run = 200; run > 0; run -= 7) pixels.insert(pixels.end(), run, top);
        ExpectRoundTrip(pixels, static_cast<int>(pixels.size()), 1, bpp);
    }
}

TEST(RLEEncoder, NaturalAndNoisyPicturesRoundTrip) {
    for (int bpp = 1; bpp <= 8; ++bpp) {
        for (bool interlaced : {false, true}) {
            ExpectRoundTrip(RunPixels(97 * 61, 1 << bpp, 40, bpp), 97, 61, bpp, interlaced);
            ExpectRoundTrip(RandomPixels(33 * 17, 1 << bpp, bpp + 50), 33, 17, bpp, interlaced);
        }
    }
}

TEST(RLEEncoder, RunsLongerThanAWholeTableRoundTrip) {
    // 3000 x 3000 of one colour outruns the codes of one table (3837 codes cover 7.4 million pixels
    // at 8 bits), so the encoder has to clear in the middle of the run.
    for (int bpp : {2, 8}) {
        std::vector<uint8_t> pixels(3000u * 3000u, 1);
        pixels.back() = 0;
        ExpectRoundTrip(pixels, 3000, 3000, bpp);
    }
    // A short run builds a small run table; a huge run of the same value then needs more repeats
    // of its longest code than the table has room for.
    for (int bpp : {3, 8}) {
        std::vector<uint8_t> pixels(30, 2);
        pixels.push_back(5);
        pixels.insert(pixels.end(), 200000, 2);
        pixels.push_back(5);
        ExpectRoundTrip(pixels, 32, static_cast<int>(pixels.size() / 32), bpp);  // 200032 = 32 x 6251
    }
}

TEST(RLEEncoder, LongRunsTakeFewCodes) {
    const std::vector<uint8_t> pixels(100 * 100, 3);
    const auto codes = ParseCodes(Encode(geRLE, pixels, 100, 100, 8));
    // A run of n pixels from a clear needs about sqrt(2n) codes.
    EXPECT_LT(codes.size(), 160u);
    EXPECT_EQ(codes.front().value, 256);
}
