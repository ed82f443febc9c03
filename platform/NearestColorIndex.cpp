#include "platform/NearestColorIndex.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kMaxEntries = 256;
// Blocks most frames need, reserved at once.
constexpr size_t kTypicalBlocks = 4096;
// Regions with more candidates than this drop those another one beats over the whole region.
constexpr int kRegionDropThreshold = 16;

int Square(int v) { return v * v; }

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    return has;
}

TPalette FirstEntries(const TPalette& palette) {
    return TPalette(palette.begin(), palette.begin() + std::min(palette.size(), kMaxEntries));
}

}  // namespace

TNearestColorIndex::TNearestColorIndex(const TPalette& palette, TInstructions instructions)
    : palette_(FirstEntries(palette)),
      entryCount_(static_cast<int>(palette_.size())),
      avx2_(instructions == TInstructions::Best && HasAvx2()),
      regionDistances_(palette_, 1 << kRegionShift, avx2_),
      cellDistances_(palette_, kCellSpan, avx2_),
      regions_(kRegionPositions * kRegionPositions * kRegionPositions),
      cells_(kCells, kUnbuilt) {
    blocks_.reserve(kTypicalBlocks);
}

TNearestColorIndex::~TNearestColorIndex() = default;

int TNearestColorIndex::Find(uint8_t r, uint8_t g, uint8_t b) {
    if (entryCount_ == 0) return -1;
    const int cell = CellOf(r, g, b);
    uint32_t slot = cells_[cell];
    if (slot == kUnbuilt) slot = BuildCell(cell);
    return FindIn(slot, r, g, b);
}

int TNearestColorIndex::FindIn(uint32_t slot, int r, int g, int b) const {
    if (slot < kPairFlag) {
        const TBlock& block = blocks_[slot];
        return block.index[RankBlock(block, r, g, b).lane];
    }
    if (slot < kListFlag) {
        const TBlock& low = blocks_[slot - kPairFlag];
        const TBlock& high = blocks_[slot - kPairFlag + 1];
        const TLaneMatch first = RankBlock(low, r, g, b), second = RankBlock(high, r, g, b);
        return second.distance < first.distance ? high.index[second.lane] : low.index[first.lane];
    }
    return RankList(lists_[slot - kListFlag], r, g, b);
}

void TNearestColorIndex::FindRow(const uint8_t* bgr, int count, uint8_t* indices) {
    if (entryCount_ == 0) {
        std::fill_n(indices, count, static_cast<uint8_t>(-1));
        return;
    }
    if (avx2_)
        FindRowAvx2(bgr, count, indices);
    else
        FindRowPortable(bgr, count, indices);
}

void TNearestColorIndex::FindRowPortable(const uint8_t* bgr, int count, uint8_t* indices) {
    for (int x = 0; x < count; ++x, bgr += 3)
        indices[x] = static_cast<uint8_t>(Find(bgr[2], bgr[1], bgr[0]));
}

namespace {

// The squared distances from a colour (each channel broadcast to eight 16-bit lanes) to the eight
// lanes of a block: the differences, their squares and their sums all fit 16 bits (see
// StoreBlocks).
__attribute__((target("avx2,bmi2"))) inline __m128i LaneDistances(const int16_t* red,
                                                                  const int16_t* green,
                                                                  const int16_t* blue, __m128i r,
                                                                  __m128i g, __m128i b) {
    const __m128i dr = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(red)), r);
    const __m128i dg = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(green)), g);
    const __m128i db = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(blue)), b);
    return _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(dr, dr), _mm_mullo_epi16(dg, dg)),
                         _mm_mullo_epi16(db, db));
}

}  // namespace

// Each pixel's block is ranked at once: the position of the least distance, the first one on a
// tie, which is the lowest index. A pixel is read as the 32-bit word at its first byte (blue,
// green, red and the next byte), except the last one of the row, which may end the buffer.
__attribute__((target("avx2,bmi2"))) void TNearestColorIndex::FindRowAvx2(const uint8_t* bgr,
                                                                          int count,
                                                                          uint8_t* indices) {
    // Byte 0, 1 or 2 of the pixel word into every 16-bit lane.
    const __m128i toBlue = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
    const __m128i toGreen = _mm_set1_epi16(static_cast<int16_t>(0xFF01));
    const __m128i toRed = _mm_set1_epi16(static_cast<int16_t>(0xFF02));
    // The top bits of each channel, as CellOf takes them.
    constexpr uint32_t kCellBits = 0x00F8F8F8u;
    static_assert(kCellShift == 3, "kCellBits keeps the top five bits of each channel");

    const uint32_t* cells = cells_.data();
    const TBlock* blocks = blocks_.data();
    for (int x = 0; x < count; ++x, bgr += 3) {
        uint32_t pixel;
        if (x + 1 < count)
            std::memcpy(&pixel, bgr, sizeof pixel);
        else
            pixel = bgr[0] | (bgr[1] << 8) | (bgr[2] << 16);
        const auto cell = static_cast<int>(_pext_u32(pixel, kCellBits));
        uint32_t slot = cells[cell];
        if (slot == kUnbuilt) {
            slot = BuildCell(cell);
            blocks = blocks_.data();
        }
        const __m128i word = _mm_cvtsi32_si128(static_cast<int>(pixel));
        const __m128i vr = _mm_shuffle_epi8(word, toRed);
        const __m128i vg = _mm_shuffle_epi8(word, toGreen);
        const __m128i vb = _mm_shuffle_epi8(word, toBlue);
        if (slot < kPairFlag) {
            const TBlock& block = blocks[slot];
            const __m128i least =
                _mm_minpos_epu16(LaneDistances(block.red, block.green, block.blue, vr, vg, vb));
            indices[x] = block.index[_mm_extract_epi16(least, 1)];
        } else if (slot < kListFlag) {
            const TBlock& low = blocks[slot - kPairFlag];
            const TBlock& high = blocks[slot - kPairFlag + 1];
            const __m128i first =
                _mm_minpos_epu16(LaneDistances(low.red, low.green, low.blue, vr, vg, vb));
            const __m128i second =
                _mm_minpos_epu16(LaneDistances(high.red, high.green, high.blue, vr, vg, vb));
            // Each: least distance in bits 0-15, its lane in bits 16-18.
            const auto a = static_cast<uint32_t>(_mm_cvtsi128_si32(first));
            const auto c = static_cast<uint32_t>(_mm_cvtsi128_si32(second));
            indices[x] = (c & 0xFFFF) < (a & 0xFFFF) ? high.index[c >> 16] : low.index[a >> 16];
        } else {
            indices[x] =
                static_cast<uint8_t>(RankList(lists_[slot - kListFlag], bgr[2], bgr[1], bgr[0]));
        }
    }
}

TNearestColorIndex::TLaneMatch TNearestColorIndex::RankBlock(const TBlock& block, int r, int g,
                                                             int b) const {
    TLaneMatch best{0, INT32_MAX};
    for (int k = 0; k < kLanes; ++k) {
        const int d =
            Square(block.red[k] - r) + Square(block.green[k] - g) + Square(block.blue[k] - b);
        if (d < best.distance) best = {k, d};
    }
    return best;
}

// Candidates come by distance to the cell, a lower bound of their distance to any colour in it:
// once that bound passes the best distance found, no later one can win.
int TNearestColorIndex::RankList(const TList& list, int r, int g, int b) const {
    uint32_t best = UINT32_MAX;
    for (int i = list.first; i < list.first + list.count; ++i) {
        if (listBounds_[i] > (best >> 8)) break;
        const uint8_t index = listEntries_[i];
        const TPaletteEntry& e = palette_[index];
        const auto d = static_cast<uint32_t>(Square(e.peRed - r) + Square(e.peGreen - g) +
                                             Square(e.peBlue - b));
        best = std::min(best, (d << 8) | index);
    }
    return static_cast<int>(best & 0xFF);
}

uint32_t TNearestColorIndex::BuildCell(int cell) {
    constexpr int kAxisBits = 8 - kCellShift;
    const TPaletteBoxDistances::TBox box = {
        cell >> (2 * kAxisBits), (cell >> kAxisBits) & (kPositions - 1), cell & (kPositions - 1)};
    const TRegion& region = RegionOf(box);
    uint32_t keys[kMaxEntries];
    int count = cellDistances_.CandidatesAmong(box, regionEntries_.data() + region.first,
                                               region.count, keys);
    std::sort(keys, keys + count);
    if (count > kLanes) count = DropBeaten(keys, count, box, kCellSpan);
    uint32_t reach = 0;
    for (int i = 0; i < count; ++i)
        reach = std::max(reach, cellDistances_.FarSq(box, static_cast<int>(keys[i] & 0xFF)));
    const bool fitsBlocks = count <= 2 * kLanes && reach <= kSaturated;
    return cells_[cell] = fitsBlocks ? StoreBlocks(keys, count) : StoreList(keys, count);
}

// Every entry that can be nearest to a colour of a cell can be so for a colour of its region.
const TNearestColorIndex::TRegion& TNearestColorIndex::RegionOf(
    const TPaletteBoxDistances::TBox& cell) {
    const TPaletteBoxDistances::TBox box = {cell.red >> 1, cell.green >> 1, cell.blue >> 1};
    TRegion& region =
        regions_[(box.red * kRegionPositions + box.green) * kRegionPositions + box.blue];
    if (region.first >= 0) return region;
    uint32_t keys[kMaxEntries];
    int count = regionDistances_.Candidates(box, keys);
    if (count > kRegionDropThreshold) {
        std::sort(keys, keys + count);
        count = DropBeaten(keys, count, box, 1 << kRegionShift);
    }
    region.first = static_cast<int32_t>(regionEntries_.size());
    region.count = count;
    for (int i = 0; i < count; ++i) regionEntries_.push_back(static_cast<uint8_t>(keys[i] & 0xFF));
    return region;
}

// Whether entry f beats entry e (smaller distance, or equal distance and lower index) at every
// colour of the box. The difference of their squared distances is linear in the colour, so its
// smallest value over the box is at the corner chosen channel by channel.
bool TNearestColorIndex::Beats(int f, int e, int rLo, int gLo, int bLo, int span) const {
    const TPaletteEntry& pf = palette_[f];
    const TPaletteEntry& pe = palette_[e];
    auto term = [span](int lo, int ev, int fv) {
        if (ev == fv) return 0;
        const int p = fv > ev ? lo : lo + span - 1;
        return (p - ev) * (p - ev) - (p - fv) * (p - fv);
    };
    const int least = term(rLo, pe.peRed, pf.peRed) + term(gLo, pe.peGreen, pf.peGreen) +
                      term(bLo, pe.peBlue, pf.peBlue);
    return least > 0 || (least == 0 && f < e);
}

// Removes from sorted candidate keys the entries that another candidate beats over the whole
// box; returns the new count. Beating is transitive, so every removed entry has a kept one that
// beats it, and the answer is always kept. The entries nearest to the box are the likely
// winners: each entry is tried against those.
int TNearestColorIndex::DropBeaten(uint32_t* keys, int count, const TPaletteBoxDistances::TBox& box,
                                   int span) const {
    constexpr int kChallengers = 6;
    const int rLo = box.red * span, gLo = box.green * span, bLo = box.blue * span;
    bool dropped[kMaxEntries] = {};
    for (int i = 0; i < count; ++i) {
        const int e = static_cast<int>(keys[i] & 0xFF);
        for (int j = 0; j < count && j < kChallengers && !dropped[i]; ++j)
            if (j != i && !dropped[j] &&
                Beats(static_cast<int>(keys[j] & 0xFF), e, rLo, gLo, bLo, span))
                dropped[i] = true;
    }
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (!dropped[i]) keys[kept++] = keys[i];
    return kept;
}

// Blocks for at most sixteen candidates whose squared distances to every colour of the cell fit
// 16 bits. Lanes go by palette index, so the first least lane is the lowest index.
uint32_t TNearestColorIndex::StoreBlocks(const uint32_t* keys, int count) {
    uint8_t indices[2 * kLanes];
    for (int i = 0; i < count; ++i) {
        // Insertion sort: the lists are short.
        const auto index = static_cast<uint8_t>(keys[i] & 0xFF);
        int j = i;
        for (; j > 0 && indices[j - 1] > index; --j) indices[j] = indices[j - 1];
        indices[j] = index;
    }
    const auto first = static_cast<uint32_t>(blocks_.size());
    for (int start = 0; start < count; start += kLanes) {
        TBlock& block = blocks_.emplace_back();
        for (int k = 0; k < kLanes; ++k) {
            const uint8_t index = indices[std::min(start + k, count - 1)];
            block.red[k] = palette_[index].peRed;
            block.green[k] = palette_[index].peGreen;
            block.blue[k] = palette_[index].peBlue;
            block.index[k] = index;
        }
    }
    return count > kLanes ? kPairFlag + first : first;
}

uint32_t TNearestColorIndex::StoreList(const uint32_t* keys, int count) {
    lists_.push_back({static_cast<int32_t>(listEntries_.size()), count});
    for (int i = 0; i < count; ++i) {
        listEntries_.push_back(static_cast<uint8_t>(keys[i] & 0xFF));
        listBounds_.push_back(keys[i] >> 8);
    }
    return kListFlag + static_cast<uint32_t>(lists_.size() - 1);
}
