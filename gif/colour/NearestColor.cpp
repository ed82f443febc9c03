#include "gif/colour/NearestColor.h"

#include <algorithm>

namespace {

// Entries kept per cell.
constexpr int kCellEntries = 3;
// A cell spans 4 levels a channel; its centre is taken at the third.
constexpr int kCellCentre = 2;

}  // namespace

TNearestColor::TNearestColor() : cells_(kCellCount, 0) {}

void TNearestColor::SetPalette(const TGIFColor* colors, int count) {
    count_ = std::clamp(count, 0, 256);
    std::copy(colors, colors + count_, colors_);
    search_.SetPalette(colors_, count_);
    if (++stamp_ == 0) {
        // After 2^32 palettes the stamps start over.
        std::fill(cells_.begin(), cells_.end(), 0);
        stamp_ = 1;
    }
}

uint64_t TNearestColor::FillCell(size_t cell) {
    const int r = static_cast<int>(((cell >> 12) << 2) + kCellCentre);
    const int g = static_cast<int>((((cell >> 6) & 63) << 2) + kCellCentre);
    const int b = static_cast<int>(((cell & 63) << 2) + kCellCentre);
    int indices[kCellEntries];
    const int found = search_.NearestFew(r, g, b, kCellEntries, indices);
    uint32_t entries = static_cast<uint32_t>(found) << 24;
    for (int i = 0; i < found; ++i) entries |= static_cast<uint32_t>(indices[i]) << (8 * i);
    cells_[cell] = (static_cast<uint64_t>(stamp_) << 32) | entries;
    return cells_[cell];
}
