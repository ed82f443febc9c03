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
      cells_(kPositions * kPositions * kPositions, kUnbuilt) {
    BuildAxisTables();
}

TNearestColorIndex::~TNearestColorIndex() = default;

void TNearestColorIndex::BuildAxisTables() {
    const int n = static_cast<int>(palette_.size());
    nearSq_.resize(static_cast<size_t>(3 * kPositions * n));
    farSq_.resize(nearSq_.size());
    for (int axis = 0; axis < 3; ++axis)
        for (int pos = 0; pos < kPositions; ++pos) {
            const int lo = pos * kCellSpan, hi = lo + kCellSpan - 1;
            const size_t row = static_cast<size_t>((axis * kPositions + pos) * n);
            for (int i = 0; i < n; ++i) {
                const TPaletteEntry& e = palette_[i];
                const int v = axis == 0 ? e.peRed : axis == 1 ? e.peGreen : e.peBlue;
                nearSq_[row + i] = static_cast<uint16_t>(NearSq(v, lo, hi));
                farSq_[row + i] = static_cast<uint16_t>(FarSq(v, lo, hi));
            }
        }
}

// Whether entry f beats entry e (smaller distance, or equal distance and lower index) at every
// colour of the cell. The difference of their squared distances is linear in the colour, so its
// smallest value over the cell is at the corner chosen channel by channel.
bool TNearestColorIndex::Beats(int f, int e, int rLo, int gLo, int bLo) const {
    const TPaletteEntry& pf = palette_[f];
    const TPaletteEntry& pe = palette_[e];
    auto term = [](int lo, int ev, int fv) {
        if (ev == fv) return 0;
        const int p = fv > ev ? lo : lo + kCellSpan - 1;
        return (p - ev) * (p - ev) - (p - fv) * (p - fv);
    };
    const int least = term(rLo, pe.peRed, pf.peRed) + term(gLo, pe.peGreen, pf.peGreen) +
                      term(bLo, pe.peBlue, pf.peBlue);
    return least > 0 || (least == 0 && f < e);
}

// Removes from a cell's sorted candidate keys entries that another candidate beats over the
// whole cell; returns the new count. Beating is transitive, so every removed entry has a kept
// one that beats it, and the answer is always kept. The entries nearest to the cell are the
// likely winners: each entry is tried against those.
int TNearestColorIndex::DropBeaten(uint64_t* order, int count, int rLo, int gLo, int bLo) const {
    constexpr int kChallengers = 6;
    bool dropped[256] = {};
    for (int i = 0; i < count; ++i) {
        const int e = static_cast<int>(order[i] & 0xFF);
        for (int j = 0; j < count && j < kChallengers && !dropped[i]; ++j)
            if (j != i && !dropped[j] && Beats(static_cast<int>(order[j] & 0xFF), e, rLo, gLo, bLo))
                dropped[i] = true;
    }
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (!dropped[i]) order[kept++] = order[i];
    return kept;
}

int32_t TNearestColorIndex::BuildCell(int cell) {
    constexpr int kAxisBits = 8 - kCellShift;
    const int rPos = cell >> (2 * kAxisBits), gPos = (cell >> kAxisBits) & (kPositions - 1),
              bPos = cell & (kPositions - 1);
    const size_t n = palette_.size();
    const uint16_t* nearR = nearSq_.data() + static_cast<size_t>(rPos) * n;
    const uint16_t* nearG = nearSq_.data() + static_cast<size_t>(kPositions + gPos) * n;
    const uint16_t* nearB = nearSq_.data() + static_cast<size_t>(2 * kPositions + bPos) * n;
    const uint16_t* farR = farSq_.data() + static_cast<size_t>(rPos) * n;
    const uint16_t* farG = farSq_.data() + static_cast<size_t>(kPositions + gPos) * n;
    const uint16_t* farB = farSq_.data() + static_cast<size_t>(2 * kPositions + bPos) * n;
    uint32_t nearSq[256];
    uint32_t bestFar = UINT32_MAX;
    for (size_t e = 0; e < n; ++e) {
        nearSq[e] = uint32_t{nearR[e]} + nearG[e] + nearB[e];
        bestFar = std::min(bestFar, uint32_t{farR[e]} + farG[e] + farB[e]);
    }
    // Only entries whose nearest point of the cell is no farther than some entry's farthest
    // point can be the answer for a colour of the cell. Sort keys: distance to the cell, then
    // index.
    uint64_t order[256];
    int count = 0;
    for (size_t e = 0; e < n; ++e)
        if (nearSq[e] <= bestFar) order[count++] = (static_cast<uint64_t>(nearSq[e]) << 8) | e;
    std::sort(order, order + count);
    count = DropBeaten(order, count, rPos * kCellSpan, gPos * kCellSpan, bPos * kCellSpan);

    if (count <= 2 * kLaneCount) {
        const int blocks = count <= kLaneCount ? 1 : 2;
        const auto first = static_cast<int32_t>(lanes_.size());
        for (int block = 0; block < blocks; ++block) {
            CandidateLanes lanes;
            for (int k = 0; k < kLaneCount; ++k) {
                const auto index =
                    static_cast<uint8_t>(order[std::min(block * kLaneCount + k, count - 1)] & 0xFF);
                lanes.red[k] = palette_[index].peRed;
                lanes.green[k] = palette_[index].peGreen;
                lanes.blue[k] = palette_[index].peBlue;
                lanes.index[k] = index;
            }
            lanes_.push_back(lanes);
        }
        return cells_[cell] = blocks == 2 ? (first | kTwoBlocks) : first;
    }
    PoolRange range{static_cast<int32_t>(pool_.size()), count};
    for (int i = 0; i < count; ++i) {
        pool_.push_back(static_cast<uint8_t>(order[i] & 0xFF));
        poolBoxDistance_.push_back(static_cast<uint32_t>(order[i] >> 8));
    }
    poolRanges_.push_back(range);
    return cells_[cell] = kPoolBase - static_cast<int32_t>(poolRanges_.size() - 1);
}

int TNearestColorIndex::FindSlow(uint8_t r, uint8_t g, uint8_t b) {
    if (palette_.empty()) return -1;
    const int cell = CellOf(r, g, b);
    int32_t slot = cells_[cell];
    if (slot == kUnbuilt) slot = BuildCell(cell);
    if (slot >= 0) {
        if (slot & kTwoBlocks) return RankTwoBlocks(&lanes_[slot & ~kTwoBlocks], r, g, b);
        return RankLanes(lanes_[slot], r, g, b) & 0xFF;
    }
    // Long lists stop once the distance to the cell (a lower bound, and the list's order)
    // passes the best distance.
    const PoolRange& range = poolRanges_[kPoolBase - slot];
    uint32_t best = UINT32_MAX;
    for (int i = 0; i < range.count; ++i) {
        if (poolBoxDistance_[range.offset + i] > (best >> 8)) break;
        const uint8_t index = pool_[range.offset + i];
        const TPaletteEntry& e = palette_[index];
        const int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
        best = std::min(best, (static_cast<uint32_t>(dr * dr + dg * dg + db * db) << 8) | index);
    }
    return static_cast<int>(best & 0xFF);
}

// Built twice, the processor choosing at load time: the lanes are ranked with AVX2 where it is
// there. (clang 14 leaves member functions with clones undefined; its builds take one version.)
#if defined(__clang__)
#define CLIPGIF_AVX2_CLONES
#else
#define CLIPGIF_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif
CLIPGIF_AVX2_CLONES void TNearestColorIndex::FindRow(const uint8_t* bgr, int count,
                                                     uint8_t* indices) {
    for (int x = 0; x < count; ++x, bgr += 3)
        indices[x] = static_cast<uint8_t>(Find(bgr[2], bgr[1], bgr[0]));
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
