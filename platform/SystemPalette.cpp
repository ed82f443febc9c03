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

constexpr int kCellShift = 4;                       // cells of 16 x 16 x 16 colours
constexpr int kCellsPerAxis = 256 >> kCellShift;    // 16
constexpr int kCellCount = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
constexpr size_t kExactCacheSize = 1 << 14;

int Square(int v) { return v * v; }

// Squared distance from v to the interval [lo, hi], and to its farther end.
int NearSq(int v, int lo, int hi) { return v < lo ? Square(lo - v) : v > hi ? Square(v - hi) : 0; }
int FarSq(int v, int lo, int hi) { return Square(std::max(std::abs(v - lo), std::abs(v - hi))); }

uint32_t PackColor(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

size_t CacheSlot(uint32_t color) { return (color * 2654435761u) >> (32 - 14); }

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
      cells_(kCellCount),
      exactCache_(kExactCacheSize, 0) {}

TNearestColorIndex::~TNearestColorIndex() = default;

const TNearestColorIndex::CellRange& TNearestColorIndex::Candidates(int cell) {
    CellRange& range = cells_[cell];
    if (range.offset >= 0) return range;
    const int rLo = ((cell >> 8) & 15) << kCellShift;
    const int gLo = ((cell >> 4) & 15) << kCellShift;
    const int bLo = (cell & 15) << kCellShift;
    const int span = (1 << kCellShift) - 1;
    const int n = static_cast<int>(palette_.size());
    int nearSq[256];
    int bestFar = INT32_MAX;
    for (int i = 0; i < n; ++i) {
        const TPaletteEntry& e = palette_[i];
        nearSq[i] = NearSq(e.peRed, rLo, rLo + span) + NearSq(e.peGreen, gLo, gLo + span) +
                    NearSq(e.peBlue, bLo, bLo + span);
        const int far = FarSq(e.peRed, rLo, rLo + span) + FarSq(e.peGreen, gLo, gLo + span) +
                        FarSq(e.peBlue, bLo, bLo + span);
        bestFar = std::min(bestFar, far);
    }
    // Only entries whose nearest point of the box is no farther than some entry's farthest
    // point can be the answer for a colour of this box.
    uint8_t order[256];
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (nearSq[i] <= bestFar) order[count++] = static_cast<uint8_t>(i);
    std::stable_sort(order, order + count, [&](uint8_t a, uint8_t b) { return nearSq[a] < nearSq[b]; });
    range.offset = static_cast<int32_t>(candidatePool_.size());
    range.count = count;
    for (int i = 0; i < count; ++i) {
        candidatePool_.push_back(order[i]);
        candidateBoxDistance_.push_back(static_cast<uint16_t>(std::min(nearSq[order[i]], 65535)));
    }
    return range;
}

int TNearestColorIndex::Search(uint8_t r, uint8_t g, uint8_t b) {
    const int cell = ((r >> kCellShift) << 8) | ((g >> kCellShift) << 4) | (b >> kCellShift);
    const CellRange& range = Candidates(cell);
    const uint8_t* candidates = candidatePool_.data() + range.offset;
    const uint16_t* boxDistance = candidateBoxDistance_.data() + range.offset;
    int best = -1;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < range.count; ++i) {
        // Candidates come in order of their distance to the box, a lower bound of their
        // distance to the colour: once it passes the best distance nothing later can win or tie.
        if (boxDistance[i] > bestDistance) break;
        const int index = candidates[i];
        const TPaletteEntry& e = palette_[index];
        const int d = Square(e.peRed - r) + Square(e.peGreen - g) + Square(e.peBlue - b);
        if (d < bestDistance || (d == bestDistance && index < best)) {
            bestDistance = d;
            best = index;
        }
    }
    return best;
}

int TNearestColorIndex::Find(uint8_t r, uint8_t g, uint8_t b) {
    if (palette_.empty()) return -1;
    const uint32_t color = PackColor(r, g, b);
    uint64_t& slot = exactCache_[CacheSlot(color)];
    const uint64_t tag = static_cast<uint64_t>(color) + 1;
    if ((slot >> 8) == tag) return static_cast<int>(slot & 0xFF);
    const int index = Search(r, g, b);
    slot = (tag << 8) | static_cast<uint64_t>(index);
    return index;
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
