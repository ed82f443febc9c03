#pragma once
// The colours of a picture gathered into cells of 8 levels a channel (32 x 32 x 32 cells), each
// with the weight of its pixels, the sums of their channels and of their weighted squared
// norms: all that building a palette needs of a picture, in a fixed amount of memory however
// large the picture is. A histogram is filled, used and cleared again for the next picture
// without allocating.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "platform/ZeroedTable.h"

struct THistogramCell {
    uint64_t Weight = 0;
    uint64_t Red = 0;
    uint64_t Green = 0;
    uint64_t Blue = 0;
    // Sum of weight x (wR r^2 + wG g^2 + wB b^2) with the perceptual channel weights: whole
    // numbers, so that adding a pixel waits on an integer addition only.
    uint64_t Norms = 0;
};

class TColorHistogram {
public:
    static constexpr int kCellBits = 5;
    static constexpr int kSide = 1 << kCellBits;
    static constexpr int kCells = kSide * kSide * kSide;

    TColorHistogram();

    static int CellOf(int r, int g, int b) {
        constexpr int shift = 8 - kCellBits;
        return ((r >> shift) << (2 * kCellBits)) | ((g >> shift) << kCellBits) | (b >> shift);
    }

    // Adds `count` pixels of a row of blue, green, red bytes, each with weight `weight`.
    void AddRow(const uint8_t* bgr, int count, uint32_t weight = 1);
    // Adds one pixel.
    void Add(int r, int g, int b, uint32_t weight) {
        THistogramCell& cell = cells_[static_cast<size_t>(CellOf(r, g, b))];
        if (cell.Weight == 0) touched_.push_back(CellOf(r, g, b));
        cell.Weight += weight;
        cell.Red += static_cast<uint64_t>(r) * weight;
        cell.Green += static_cast<uint64_t>(g) * weight;
        cell.Blue += static_cast<uint64_t>(b) * weight;
        cell.Norms += static_cast<uint64_t>(weight) * static_cast<uint64_t>(ColorDistance(r, g, b));
    }
    // Asks the processor to fetch the colour's cell ahead of Add: the cells' table is larger
    // than the nearest cache.
    void Prefetch(int r, int g, int b) const {
        __builtin_prefetch(&cells_[static_cast<size_t>(CellOf(r, g, b))]);
    }
    // Empties the cells that were filled.
    void Clear();

    const THistogramCell& Cell(int index) const { return cells_[static_cast<size_t>(index)]; }
    // The cells holding pixels, in the order they were first filled.
    const std::vector<int>& FilledCells() const { return touched_; }
    uint64_t TotalWeight() const;

private:
    TZeroedTable<THistogramCell> cells_;
    std::vector<int> touched_;
};
