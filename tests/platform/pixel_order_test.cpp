// Rows turned from red, green, blue into blue, green, red: every pixel of every length of row,
// and not a byte beyond the row.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/PixelOrder.h"

namespace {

TEST(PixelOrder, EveryPixelOfARowOfAnyLengthIsTurnedAndNothingBeyondIt) {
    // The bytes past the rows differ, so that one copied past the end shows.
    constexpr uint8_t kGuard = 0xA5, kPastTheInput = 0x5A;
    for (size_t pixels = 0; pixels <= 40; ++pixels) {
        std::vector<uint8_t> in(3 * pixels + 16, kPastTheInput);
        for (size_t i = 0; i < 3 * pixels; ++i) in[i] = static_cast<uint8_t>(7 * i + 1);
        std::vector<uint8_t> out(3 * pixels + 16, kGuard);
        CopySwappingRedAndBlue(in.data(), out.data(), pixels);
        for (size_t p = 0; p < pixels; ++p) {
            EXPECT_EQ(out[3 * p], in[3 * p + 2]) << pixels << " pixels, pixel " << p;
            EXPECT_EQ(out[3 * p + 1], in[3 * p + 1]) << pixels << " pixels, pixel " << p;
            EXPECT_EQ(out[3 * p + 2], in[3 * p]) << pixels << " pixels, pixel " << p;
        }
        for (size_t i = 3 * pixels; i < out.size(); ++i)
            EXPECT_EQ(out[i], kGuard) << pixels << " pixels: byte " << i << " written";
    }
}

}  // namespace
