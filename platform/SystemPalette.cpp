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
      fineCells_(kFineCellCount) {
    BuildAxisTables(coarseAxes_, 16);
    BuildAxisTables(fineAxes_, 32);
}

TNearestColorIndex::~TNearestColorIndex() = default;

void TNearestColorIndex::BuildAxisTables(AxisTables& tables, int positions) const {
    const int n = static_cast<int>(palette_.size());
    const int span = 256 / positions;
    tables.nearSq.resize(static_cast<size_t>(3 * positions * n));
    tables.farSq.resize(tables.nearSq.size());
    for (int axis = 0; axis < 3; ++axis)
        for (int pos = 0; pos < positions; ++pos) {
            const int lo = pos * span, hi = lo + span - 1;
            const size_t row = static_cast<size_t>((axis * positions + pos) * n);
            for (int i = 0; i < n; ++i) {
                const TPaletteEntry& e = palette_[i];
                const int v = axis == 0 ? e.peRed : axis == 1 ? e.peGreen : e.peBlue;
                tables.nearSq[row + i] = static_cast<uint16_t>(NearSq(v, lo, hi));
                tables.farSq[row + i] = static_cast<uint16_t>(FarSq(v, lo, hi));
            }
        }
}

// Whether entry f beats entry e (smaller distance, or equal distance and lower index) at every
// colour of the box. The difference of their squared distances is linear in the colour, so its
// smallest value over the box is at the corner chosen channel by channel.
bool TNearestColorIndex::Dominates(int f, int e, int rLo, int gLo, int bLo, int span) const {
    const TPaletteEntry& pf = palette_[f];
    const TPaletteEntry& pe = palette_[e];
    auto term = [span](int lo, int ev, int fv) {
        if (ev == fv) return 0;
        const int p = fv > ev ? lo : lo + span;
        return (p - ev) * (p - ev) - (p - fv) * (p - fv);
    };
    const int least = term(rLo, pe.peRed, pf.peRed) + term(gLo, pe.peGreen, pf.peGreen) +
                      term(bLo, pe.peBlue, pf.peBlue);
    return least > 0 || (least == 0 && f < e);
}

// Removes from a cell's sorted candidate keys entries that another candidate beats over the
// whole box; returns the new count. Beating is transitive, so every removed entry has a kept
// one that beats it, and the answer is always kept.
int TNearestColorIndex::DropDominated(uint64_t* order, int count, const uint8_t* entries, int rLo,
                                      int gLo, int bLo, int span) const {
    // The entries nearest to the box are the likely winners: each entry is tried against those.
    constexpr int kChallengers = 4;
    bool dropped[256] = {};
    for (int i = 0; i < count; ++i) {
        const int e = entries[order[i] & 0xFF];
        for (int j = 0; j < count && j < kChallengers && !dropped[i]; ++j)
            if (j != i && !dropped[j] && Dominates(entries[order[j] & 0xFF], e, rLo, gLo, bLo, span))
                dropped[i] = true;
    }
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (!dropped[i]) order[kept++] = order[i];
    return kept;
}

TNearestColorIndex::CellRange TNearestColorIndex::BuildCell(const AxisTables& tables, int positions,
                                                            int rPos, int gPos, int bPos,
                                                            const uint8_t* entries, int entryCount) {
    const size_t n = palette_.size();
    const size_t rRow = static_cast<size_t>(rPos) * n;
    const size_t gRow = static_cast<size_t>(positions + gPos) * n;
    const size_t bRow = static_cast<size_t>(2 * positions + bPos) * n;
    const uint16_t* nearR = tables.nearSq.data() + rRow;
    const uint16_t* nearG = tables.nearSq.data() + gRow;
    const uint16_t* nearB = tables.nearSq.data() + bRow;
    const uint16_t* farR = tables.farSq.data() + rRow;
    const uint16_t* farG = tables.farSq.data() + gRow;
    const uint16_t* farB = tables.farSq.data() + bRow;
    uint32_t nearSq[256];
    uint32_t bestFar = UINT32_MAX;
    for (int k = 0; k < entryCount; ++k) {
        const int e = entries[k];
        nearSq[k] = uint32_t{nearR[e]} + nearG[e] + nearB[e];
        bestFar = std::min(bestFar, uint32_t{farR[e]} + farG[e] + farB[e]);
    }
    // Only entries whose nearest point of the box is no farther than some entry's farthest
    // point can be the answer for a colour of this box. Sort keys: box distance, then position
    // (entries come in palette order).
    uint64_t order[256];
    int count = 0;
    for (int k = 0; k < entryCount; ++k)
        if (nearSq[k] <= bestFar) order[count++] = (static_cast<uint64_t>(nearSq[k]) << 8) | static_cast<uint64_t>(k);
    std::sort(order, order + count);
    if (positions == 32) count = DropDominated(order, count, entries, rPos * 8, gPos * 8, bPos * 8, 7);
    CellRange range;
    range.offset = static_cast<int32_t>(candidatePool_.size());
    range.count = count;
    for (int i = 0; i < count; ++i) {
        const int k = static_cast<int>(order[i] & 0xFF);
        candidatePool_.push_back(entries[k]);
        candidateBoxDistance_.push_back(nearSq[k]);
    }
    return range;
}

const TNearestColorIndex::CellRange& TNearestColorIndex::CoarseCell(int cell) {
    CellRange& range = coarseCells_[cell];
    if (range.offset >= 0) return range;
    uint8_t all[256];
    const int n = static_cast<int>(palette_.size());
    for (int i = 0; i < n; ++i) all[i] = static_cast<uint8_t>(i);
    range = BuildCell(coarseAxes_, 16, (cell >> 8) & 15, (cell >> 4) & 15, cell & 15, all, n);
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
    const CellRange range = BuildCell(fineAxes_, 32, r, g, b, entries, coarse.count);
    fine.offset = range.offset;
    fine.poolCount = range.count;
    if (range.count <= kLaneCount) {
        CandidateLanes lanes;
        for (int k = 0; k < kLaneCount; ++k) {
            const uint8_t index = candidatePool_[range.offset + std::min(k, range.count - 1)];
            lanes.red[k] = palette_[index].peRed;
            lanes.green[k] = palette_[index].peGreen;
            lanes.blue[k] = palette_[index].peBlue;
            lanes.index[k] = index;
        }
        fine.lanes = static_cast<int32_t>(lanes_.size());
        lanes_.push_back(lanes);
        // Lane lists need no pool entries: give them back.
        candidatePool_.resize(static_cast<size_t>(range.offset));
        candidateBoxDistance_.resize(static_cast<size_t>(range.offset));
    }
    return fine;
}

int TNearestColorIndex::FindInPool(uint8_t r, uint8_t g, uint8_t b) {
    if (palette_.empty()) return -1;
    const FineCellEntry& cell = FineCell(FineCellOf(r, g, b));
    if (cell.lanes >= 0) return RankLanes(lanes_[cell.lanes], r, g, b);
    // Long lists stop once the distance to the box (a lower bound, and the list's order)
    // passes the best distance.
    const uint8_t* candidates = candidatePool_.data() + cell.offset;
    const uint32_t* boxDistance = candidateBoxDistance_.data() + cell.offset;
    uint32_t best = UINT32_MAX;
    for (int i = 0; i < cell.poolCount; ++i) {
        if (boxDistance[i] > (best >> 8)) break;
        best = std::min(best, Key(candidates[i], r, g, b));
    }
    return static_cast<int>(best & 0xFF);
}

// Built twice, the processor choosing at load time: the lanes are ranked with AVX2 where it is
// there.
__attribute__((target_clones("avx2", "default")))
void TNearestColorIndex::FindRow(const uint8_t* bgr, int count, uint8_t* indices) {
    for (int x = 0; x < count; ++x, bgr += 3) indices[x] = static_cast<uint8_t>(Find(bgr[2], bgr[1], bgr[0]));
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
