#include "gif/colour/ColorHistogram.h"

TColorHistogram::TColorHistogram() : cells_(kCells) { touched_.reserve(kCells); }

void TColorHistogram::AddRow(const uint8_t* bgr, int count, uint32_t weight) {
    for (int x = 0; x < count; ++x, bgr += 3) Add(bgr[2], bgr[1], bgr[0], weight);
}

void TColorHistogram::Clear() {
    for (int index : touched_) cells_[static_cast<size_t>(index)] = THistogramCell{};
    touched_.clear();
}

uint64_t TColorHistogram::TotalWeight() const {
    uint64_t total = 0;
    for (int index : touched_) total += cells_[static_cast<size_t>(index)].Weight;
    return total;
}
