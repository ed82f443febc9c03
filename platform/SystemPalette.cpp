#include "platform/SystemPalette.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace {

TPaletteEntry Entry(uint8_t r, uint8_t g, uint8_t b) {
    TPaletteEntry e;
    e.peRed = r;
    e.peGreen = g;
    e.peBlue = b;
    return e;
}

TPalette MakeSystemPalette20() {
    return {Entry(0, 0, 0),       Entry(128, 0, 0),     Entry(0, 128, 0),     Entry(128, 128, 0),
            Entry(0, 0, 128),     Entry(128, 0, 128),   Entry(0, 128, 128),   Entry(192, 192, 192),
            Entry(192, 220, 192), Entry(166, 202, 240), Entry(255, 251, 240), Entry(160, 160, 164),
            Entry(128, 128, 128), Entry(255, 0, 0),     Entry(0, 255, 0),     Entry(255, 255, 0),
            Entry(0, 0, 255),     Entry(255, 0, 255),   Entry(0, 255, 255),   Entry(255, 255, 255)};
}

TPalette MakeHalftonePalette() {
    const TPalette& sys = SystemPalette20();
    TPalette pal(sys.begin(), sys.begin() + 10);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                pal.push_back(Entry(static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                                    static_cast<uint8_t>(51 * b)));
    // Greys strictly between black and white, evenly spaced.
    for (int i = 1; i <= 20; ++i) {
        const auto level = static_cast<uint8_t>((i * 255 + 10) / 21);
        pal.push_back(Entry(level, level, level));
    }
    pal.insert(pal.end(), sys.begin() + 10, sys.end());
    return pal;
}

TPalette MakeVGAPalette16() {
    const TPalette& sys = SystemPalette20();
    TPalette pal(sys.begin(), sys.begin() + 8);
    pal.insert(pal.end(), sys.begin() + 12, sys.end());
    return pal;
}

constexpr int kCoarseCellCount = 16 * 16 * 16;
constexpr int kFineCellCount = 32 * 32 * 32;


int Square(int v) { return v * v; }

// Squared distance from v to the interval [lo, hi], and to its farther end.
int NearSq(int v, int lo, int hi) { return v < lo ? Square(lo - v) : v > hi ? Square(v - hi) : 0; }
int FarSq(int v, int lo, int hi) { return Square(std::max(std::abs(v - lo), std::abs(v - hi))); }

}  // namespace

const TPalette& SystemPalette20() {
    static const TPalette palette = MakeSystemPalette20();
    return palette;
}

const TPalette& HalftonePalette() {
    static const TPalette palette = MakeHalftonePalette();
    return palette;
}

const TPalette& VGAPalette16() {
    static const TPalette palette = MakeVGAPalette16();
    return palette;
}

TNearestColorIndex::TNearestColorIndex(const TPalette& palette)
    : palette_(palette.begin(), palette.begin() + std::min<size_t>(palette.size(), 256)),
      coarseCells_(kCoarseCellCount),
      fineCells_(kFineCellCount) {}

TNearestColorIndex::~TNearestColorIndex() = default;

TNearestColorIndex::CellRange TNearestColorIndex::BuildCell(const CellBox& box, const uint8_t* entries,
                                                            int entryCount) {
    int nearSq[256];
    int bestFar = INT32_MAX;
    const int rHi = box.rLo + box.span, gHi = box.gLo + box.span, bHi = box.bLo + box.span;
    for (int k = 0; k < entryCount; ++k) {
        const TPaletteEntry& e = palette_[entries[k]];
        nearSq[k] = NearSq(e.peRed, box.rLo, rHi) + NearSq(e.peGreen, box.gLo, gHi) +
                    NearSq(e.peBlue, box.bLo, bHi);
        const int far = FarSq(e.peRed, box.rLo, rHi) + FarSq(e.peGreen, box.gLo, gHi) +
                        FarSq(e.peBlue, box.bLo, bHi);
        bestFar = std::min(bestFar, far);
    }
    // Only entries whose nearest point of the box is no farther than some entry's farthest
    // point can be the answer for a colour of this box.
    // Sort keys: box distance, then position (entries come in palette order).
    uint64_t order[256];
    int count = 0;
    for (int k = 0; k < entryCount; ++k)
        if (nearSq[k] <= bestFar) order[count++] = (static_cast<uint64_t>(nearSq[k]) << 8) | static_cast<uint64_t>(k);
    std::sort(order, order + count);
    CellRange range;
    range.offset = static_cast<int32_t>(candidatePool_.size());
    range.count = count;
    for (int i = 0; i < count; ++i) {
        const int k = static_cast<int>(order[i] & 0xFF);
        candidatePool_.push_back(entries[k]);
        candidateBoxDistance_.push_back(static_cast<uint16_t>(std::min(nearSq[k], 65535)));
    }
    return range;
}

const TNearestColorIndex::CellRange& TNearestColorIndex::CoarseCell(int cell) {
    CellRange& range = coarseCells_[cell];
    if (range.offset >= 0) return range;
    uint8_t all[256];
    const int n = static_cast<int>(palette_.size());
    for (int i = 0; i < n; ++i) all[i] = static_cast<uint8_t>(i);
    const CellBox box{((cell >> 8) & 15) << 4, ((cell >> 4) & 15) << 4, (cell & 15) << 4, 15};
    range = BuildCell(box, all, n);
    return range;
}

const TNearestColorIndex::FineCellEntry& TNearestColorIndex::FineCell(int cell) {
    FineCellEntry& fine = fineCells_[cell];
    if (fine.offset >= 0) return fine;
    const int r = (cell >> 10) & 31, g = (cell >> 5) & 31, b = cell & 31;
    const CellRange coarse = CoarseCell(((r >> 1) << 8) | ((g >> 1) << 4) | (b >> 1));
    // A fine cell lies inside its coarse cell, so its candidates are among the coarse ones.
    uint8_t entries[256];
    std::copy_n(candidatePool_.begin() + coarse.offset, coarse.count, entries);
    std::sort(entries, entries + coarse.count);  // keep palette order for the tie rule
    const CellRange range = BuildCell(CellBox{r << 3, g << 3, b << 3, 7}, entries, coarse.count);
    fine.offset = range.offset;
    fine.poolCount = range.count;
    if (range.count <= 3) {
        fine.inPlaceCount = static_cast<uint8_t>(range.count);
        for (int k = 0; k < 3; ++k)
            fine.inPlace[k] = candidatePool_[range.offset + std::min(k, range.count - 1)];
        // In-place lists need no pool entries: give them back.
        candidatePool_.resize(static_cast<size_t>(range.offset));
        candidateBoxDistance_.resize(static_cast<size_t>(range.offset));
    }
    return fine;
}

int TNearestColorIndex::Find(uint8_t r, uint8_t g, uint8_t b) {
    if (palette_.empty()) return -1;
    const FineCellEntry& cell = FineCell(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    auto key = [&](uint8_t index) {
        const TPaletteEntry& e = palette_[index];
        const auto d = static_cast<uint32_t>(Square(e.peRed - r) + Square(e.peGreen - g) + Square(e.peBlue - b));
        return (d << 8) | index;
    };
    // Rank by (distance << 8 | index): the smallest key is the nearest entry, the lowest index
    // on a tie. Short lists are padded with their first entry, so three keys always decide.
    if (cell.inPlaceCount != 0)
        return static_cast<int>(
            std::min({key(cell.inPlace[0]), key(cell.inPlace[1]), key(cell.inPlace[2])}) & 0xFF);
    // Long lists stop once the distance to the box (a lower bound, and the list's order)
    // passes the best distance.
    const uint8_t* candidates = candidatePool_.data() + cell.offset;
    const uint16_t* boxDistance = candidateBoxDistance_.data() + cell.offset;
    uint32_t best = UINT32_MAX;
    for (int i = 0; i < cell.poolCount; ++i) {
        if (boxDistance[i] > (best >> 8)) break;
        best = std::min(best, key(candidates[i]));
    }
    return static_cast<int>(best & 0xFF);
}

int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b) {
    int best = -1;
    int bestDistance = INT32_MAX;
    const int n = static_cast<int>(std::min<size_t>(palette.size(), 256));
    for (int i = 0; i < n; ++i) {
        const TPaletteEntry& e = palette[i];
        const int d = Square(e.peRed - r) + Square(e.peGreen - g) + Square(e.peBlue - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}
