// Run-length encoder: its cost arithmetic, and that its code streams decode to the pixels given
// while staying within what a GIF decoder's table allows (ParseCodes checks every code).
#include <gtest/gtest.h>

#include "gif/codec/RLEEncoder.h"
#include "tests/gif/CodeStreamTools.h"

using namespace codestream;

TEST(RunLengthCost, SquareRootAndTriangleCostMatchSlowCounts) {
    for (uint64_t x = 0; x < 70000; ++x) {
        const uint64_t r = NewtonIntegerSqrt(x);
        ASSERT_TRUE(r * r <= x && (r + 1) * (r + 1) > x) << x;
    }
    EXPECT_EQ(NewtonIntegerSqrt(4294967295ull * 4294967295ull), 4294967295ull);
    // Runs of 1, 2, 3 ... c pixels, one code each, then again from 1.
    for (uint64_t codes : {1ull, 5ull, 62ull, 3837ull}) {
        for (uint64_t count = 0; count < 3000; ++count) {
            uint64_t left = count, spent = 0;
            for (uint64_t run = 1; left > 0; run = run == codes ? 1 : run + 1, ++spent)
                left -= std::min(left, run);
            ASSERT_EQ(RunTriangleCost(count, codes), spent)
                << count << " pixels, " << codes << " codes";
        }
    }
}

void ExpectRoundTrip(const std::vector<uint8_t>& pixels, int width, int height, int bpp,
                     bool interlaced = false) {
    const auto data = Encode(geRLE, pixels, width, height, bpp, interlaced);
    ParseCodes(data);
    const auto decoded = Decode(data, width, height, interlaced);
    EXPECT_TRUE(decoded.warnings.empty());
    EXPECT_EQ(decoded.pixels, pixels) << width << "x" << height << " bpp " << bpp;
}

TEST(RLEEncoder, RunsOfEveryLengthRoundTrip) {
    for (int bpp = 1; bpp <= 8; ++bpp) {
        // Alternating runs of growing length; then runs of one value broken by single pixels, so
        // the run table is reused and outgrown; then shrinking runs; then noise and quantised
        // pictures.
        std::vector<uint8_t> pixels;
        const uint8_t top = static_cast<uint8_t>((1 << bpp) - 1);
        for (int run = 1; run <= 120; ++run) pixels.insert(pixels.end(), run, run % 2 ? 0 : top);
        for (int run = 1; run <= 120; ++run) {
            pixels.insert(pixels.end(), run, top);
            pixels.push_back(0);
        }
        for (int run = 200; run > 0; run -= 7) pixels.insert(pixels.end(), run, top);
        ExpectRoundTrip(pixels, static_cast<int>(pixels.size()), 1, bpp);
        for (bool interlaced : {false, true}) {
            ExpectRoundTrip(RunPixels(97 * 61, 1 << bpp, 40, bpp), 97, 61, bpp, interlaced);
            ExpectRoundTrip(RandomPixels(33 * 17, 1 << bpp, bpp), 33, 17, bpp, interlaced);
        }
    }
}

TEST(RLEEncoder, RunsLongerThanATableRoundTrip) {
    // One colour over 3000 x 3000 outruns a table's codes (3837 codes cover 7.4 million pixels at
    // 8 bits), so the encoder clears inside the run.
    for (int bpp : {2, 8}) {
        std::vector<uint8_t> pixels(3000u * 3000u, 1);
        pixels.back() = 0;
        ExpectRoundTrip(pixels, 3000, 3000, bpp);
    }
    // A short run builds a small run table; a huge run of the same value would then need more
    // repeats of its longest code than the table has room for.
    for (int bpp : {3, 8}) {
        std::vector<uint8_t> pixels(30, 2);
        pixels.push_back(5);
        pixels.insert(pixels.end(), 200000, 2);
        pixels.push_back(5);
        ExpectRoundTrip(pixels, 32, static_cast<int>(pixels.size() / 32), bpp);
    }
}

TEST(RLEEncoder, LongRunsTakeFewCodes) {
    // A run of n pixels from a clear needs about sqrt(2n) codes.
    EXPECT_LT(ParseCodes(Encode(geRLE, std::vector<uint8_t>(100 * 100, 3), 100, 100, 8)).size(),
              160u);
}
