#include "gif/colour/NearestColor.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A cell's centre is taken at its middle level rounded up: fine cells span 4 levels, coarse
// ones 16, so no colour of a coarse cell lies more than 8 levels from its centre in a channel.
constexpr int kFineCentre = 2;
constexpr int kCoarseCentre = 8;
const double kCoarseDiagonal = std::sqrt(static_cast<double>(ColorDistance(8, 8, 8)));

}  // namespace

TNearestColor::TNearestColor()
    : fine_(kFineCells, 0), coarseStamp_(kCoarseCells, 0), coarse_(kCoarseCells, 0) {}

void TNearestColor::SetPalette(const TGIFColor* colors, int count) {
    count_ = std::clamp(count, 0, 256);
    std::copy(colors, colors + count_, colors_);
    coarseEntries_.clear();
    if (++stamp_ == 0) {
        // After 2^32 palettes the stamps start over.
        std::fill(fine_.begin(), fine_.end(), 0);
        std::fill(coarseStamp_.begin(), coarseStamp_.end(), 0);
        stamp_ = 1;
    }
}

uint32_t TNearestColor::CoarseList(size_t coarse) {
    if (coarseStamp_[coarse] == stamp_) return coarse_[coarse];
    return FillCoarseCell(coarse);
}

// An entry nearest to a colour x of the cell lies within (nearest distance from the centre c) +
// 2 x (cell diagonal d) of the centre: |c - e*| <= |x - e*| + d <= |x - e0| + d <= |c - e0| + 2d.
uint32_t TNearestColor::FillCoarseCell(size_t coarse) {
    const int r = static_cast<int>(((coarse >> 8) << 4) + kCoarseCentre);
    const int g = static_cast<int>((((coarse >> 4) & 15) << 4) + kCoarseCentre);
    const int b = static_cast<int>(((coarse & 15) << 4) + kCoarseCentre);
    int nearest = INT_MAX;
    for (int i = 0; i < count_; ++i)
        nearest = std::min(nearest, ColorDistance(colors_[i], r, g, b));
    const double reach = std::sqrt(static_cast<double>(nearest)) + 2 * kCoarseDiagonal;
    const int64_t limit = static_cast<int64_t>(std::ceil(reach * reach)) + 1;
    const size_t offset = coarseEntries_.size();
    for (int i = 0; i < count_; ++i)
        if (ColorDistance(colors_[i], r, g, b) <= limit)
            coarseEntries_.push_back(static_cast<uint8_t>(i));
    const uint32_t list =
        static_cast<uint32_t>(offset << 9) | static_cast<uint32_t>(coarseEntries_.size() - offset);
    coarse_[coarse] = list;
    coarseStamp_[coarse] = stamp_;
    return list;
}

// The three entries of the coarse list nearest to the fine cell's centre, nearest first (the
// lower index first among equally near ones).
uint32_t TNearestColor::FillFineCell(size_t cell) {
    const int r = static_cast<int>(((cell >> 12) << 2) + kFineCentre);
    const int g = static_cast<int>((((cell >> 6) & 63) << 2) + kFineCentre);
    const int b = static_cast<int>(((cell & 63) << 2) + kFineCentre);
    const size_t coarse = ((cell >> 14) << 8) | (((cell >> 8) & 15) << 4) | ((cell >> 2) & 15);
    const uint32_t list = CoarseList(coarse);
    const uint8_t* entry = coarseEntries_.data() + (list >> 9);
    const uint8_t* end = entry + (list & 0x1FF);
    int best[kCellEntries];
    int distances[kCellEntries];
    int found = 0;
    for (; entry != end; ++entry) {
        const int index = *entry;
        const int d = ColorDistance(colors_[index], r, g, b);
        int at = found < kCellEntries ? found++ : kCellEntries;
        while (at > 0 && d < distances[at - 1]) {
            if (at < kCellEntries) {
                distances[at] = distances[at - 1];
                best[at] = best[at - 1];
            }
            --at;
        }
        if (at < kCellEntries) {
            distances[at] = d;
            best[at] = index;
        }
    }
    uint32_t entries = static_cast<uint32_t>(found) << 24;
    for (int i = 0; i < found; ++i) entries |= static_cast<uint32_t>(best[i]) << (8 * i);
    fine_[cell] = (static_cast<uint64_t>(stamp_) << 32) | entries;
    return entries;
}
