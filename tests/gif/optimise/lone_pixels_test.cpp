// Lone drawn pixels found eight at a time are those a look at each pixel's eight neighbours
// finds, at the picture's edges and corners, for narrow and single-row pictures too.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include "gif/optimise/LonePixels.h"

namespace {

constexpr uint8_t kTransparent = 7;

std::set<std::pair<int, int>> LoneByLooking(const std::vector<uint8_t>& indices, int width,
                                            int height) {
    const auto drawn = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height &&
               indices[static_cast<size_t>(y * width + x)] != kTransparent;
    };
    std::set<std::pair<int, int>> lone;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!drawn(x, y)) continue;
            bool alone = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx != 0 || dy != 0) && drawn(x + dx, y + dy)) alone = false;
            if (alone) lone.insert({x, y});
        }
    return lone;
}

}  // namespace

TEST(LonePixels, FoundAreThoseWithNoDrawnNeighbour) {
    std::mt19937 random(5);
    TLonePixels finder;
    int found = 0;
    for (const int width : {1, 2, 7, 8, 9, 17, 64}) {
        for (const int height : {1, 2, 5}) {
            for (const int percentDrawn : {3, 15, 40}) {
                std::bernoulli_distribution drawnOne(percentDrawn / 100.0);
                std::uniform_int_distribution<int> index(0, 255);
                std::vector<uint8_t> indices(static_cast<size_t>(width * height));
                for (uint8_t& i : indices) {
                    int value = kTransparent;
                    while (drawnOne(random) && value == kTransparent) value = index(random);
                    i = static_cast<uint8_t>(value);
                }
                std::set<std::pair<int, int>> seen;
                finder.Find(indices.data(), width, height, kTransparent, [&](int x, int y) {
                    EXPECT_TRUE(seen.insert({x, y}).second);
                });
                EXPECT_EQ(seen, LoneByLooking(indices, width, height))
                    << width << "x" << height << " " << percentDrawn << "%";
                found += static_cast<int>(seen.size());
            }
        }
    }
    EXPECT_GT(found, 50);
}
