#include "platform/NearestColorIndex.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "platform/ProcessorFeatures.h"

namespace {

constexpr size_t kMaxEntries = 256;
// Blocks most frames need, reserved at once.
constexpr size_t kTypicalBlocks = 512;

int Square(int v) { return v * v; }

bool HasAvx2() {
    static const bool has = HasWideVectors() && __builtin_cpu_supports("bmi2");
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
      distances_(palette_, kCellSpan, avx2_),
      cells_(kCells, kUnbuilt) {
    blocks_.reserve(kTypicalBlocks);
}

TNearestColorIndex::~TNearestColorIndex() = default;

int TNearestColorIndex::Find(uint8_t r, uint8_t g, uint8_t b) {
    if (entryCount_ == 0) return -1;
    const int cell = CellOf(r, g, b);
    uint32_t slot = cells_[cell];
    if (slot == kUnbuilt) slot = BuildCell(cell);
    if (slot >= kSplitFlag && slot < kListFlag) {
        const uint32_t split = slot - kSplitFlag;
        const int smallCell = SmallCellOf(r, g, b);
        slot = smallCells_[8 * split + smallCell];
        if (slot == kUnbuilt) slot = BuildSmallCell(split, smallCell);
    }
    return FindIn(slot, r, g, b);
}

int TNearestColorIndex::FindIn(uint32_t slot, int r, int g, int b) const {
    if (slot >= kListFlag) return RankList(lists_[slot - kListFlag], r, g, b);
    const TBlock* block = &blocks_[slot & kFirstBlockMask];
    const int count = static_cast<int>(slot >> kBlockCountShift) + 1;
    // Later blocks hold higher indices: they win only when strictly nearer.
    const TBlock* bestBlock = block;
    TLaneMatch best = RankBlock(*block, r, g, b);
    for (int i = 1; i < count; ++i) {
        const TLaneMatch match = RankBlock(block[i], r, g, b);
        if (match.distance < best.distance) {
            best = match;
            bestBlock = block + i;
        }
    }
    return bestBlock->index[best.lane];
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

// The squared distances from a colour (each channel broadcast to sixteen 16-bit lanes) to the
// lanes of a block: the differences, their squares and their sums all fit 16 bits (see
// StoreCandidates).
__attribute__((target("avx2,bmi2"))) inline __m256i LaneDistances(const int16_t* red,
                                                                  const int16_t* green,
                                                                  const int16_t* blue, __m256i r,
                                                                  __m256i g, __m256i b) {
    const __m256i dr =
        _mm256_sub_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(red)), r);
    const __m256i dg =
        _mm256_sub_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(green)), g);
    const __m256i db =
        _mm256_sub_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(blue)), b);
    return _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(dr, dr), _mm256_mullo_epi16(dg, dg)),
        _mm256_mullo_epi16(db, db));
}

// The least of sixteen distances (in the low 16 bits of the result's first lane).
__attribute__((target("avx2,bmi2"))) inline __m128i LeastDistance(__m256i distances) {
    return _mm_minpos_epu16(
        _mm_min_epu16(_mm256_castsi256_si128(distances), _mm256_extracti128_si256(distances, 1)));
}

// The first of sixteen lanes holding the least distance.
__attribute__((target("avx2,bmi2"))) inline int LaneOf(__m256i distances, __m128i least) {
    const auto lanes = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi16(distances, _mm256_broadcastw_epi16(least))));
    return __builtin_ctz(lanes) >> 1;
}

}  // namespace

// Each block is ranked at once. A pixel is read as the 32-bit word at its first byte (blue,
// green, red and the next byte), except the last one of the row, which may end the buffer.
__attribute__((target("avx2,bmi2"))) void TNearestColorIndex::FindRowAvx2(const uint8_t* bgr,
                                                                          int count,
                                                                          uint8_t* indices) {
    // Byte 0, 1 or 2 of the pixel word into every 16-bit lane.
    const __m256i toBlue = _mm256_set1_epi16(static_cast<int16_t>(0xFF00));
    const __m256i toGreen = _mm256_set1_epi16(static_cast<int16_t>(0xFF01));
    const __m256i toRed = _mm256_set1_epi16(static_cast<int16_t>(0xFF02));
    // The top bits of each channel, as CellOf takes them.
    constexpr uint32_t kCellBits = 0x00F0F0F0u;
    static_assert(kCellShift == 4, "kCellBits keeps the top four bits of each channel");
    // The next bit of each channel: blue lowest, as SmallCellOf orders them.
    constexpr uint32_t kSmallCellBits = 0x00080808u;

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
        if (slot >= kSplitFlag) {
            if (slot == kUnbuilt) slot = BuildCell(cell);
            if (slot >= kSplitFlag && slot < kListFlag) {
                const uint32_t split = slot - kSplitFlag;
                const auto smallCell = static_cast<int>(_pext_u32(pixel, kSmallCellBits));
                slot = smallCells_[8 * split + smallCell];
                if (slot == kUnbuilt) slot = BuildSmallCell(split, smallCell);
            }
            blocks = blocks_.data();
            if (slot >= kListFlag) {
                indices[x] = static_cast<uint8_t>(
                    RankList(lists_[slot - kListFlag], bgr[2], bgr[1], bgr[0]));
                continue;
            }
        }
        if (slot >> kBlockCountShift) {
            // More than one block: only some small cells of crowded palettes.
            indices[x] = static_cast<uint8_t>(FindIn(slot, bgr[2], bgr[1], bgr[0]));
            continue;
        }
        const __m256i word = _mm256_set1_epi32(static_cast<int>(pixel));
        const TBlock& block = blocks[slot];
        const __m256i distances =
            LaneDistances(block.red, block.green, block.blue, _mm256_shuffle_epi8(word, toRed),
                          _mm256_shuffle_epi8(word, toGreen), _mm256_shuffle_epi8(word, toBlue));
        indices[x] = block.index[LaneOf(distances, LeastDistance(distances))];
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
    const TBox box = {cell >> (2 * kAxisBits), (cell >> kAxisBits) & (kPositions - 1),
                      cell & (kPositions - 1)};
    uint32_t keys[kMaxEntries];
    int count = distances_.Candidates(box, keys);
    count = DropBeatenFromLong(keys, count, box, kCellSpan);
    if (count > kSplitAbove) {
        splits_.push_back({cell, static_cast<int32_t>(splitEntries_.size()), count});
        for (int i = 0; i < count; ++i)
            splitEntries_.push_back(static_cast<uint8_t>(keys[i] & 0xFF));
        smallCells_.insert(smallCells_.end(), 8, kUnbuilt);
        return cells_[cell] = kSplitFlag + static_cast<uint32_t>(splits_.size() - 1);
    }
    return cells_[cell] = StoreCandidates(keys, count, box, distances_);
}

// Every entry that can be nearest to a colour of a small cell can be so for a colour of the
// split cell.
uint32_t TNearestColorIndex::BuildSmallCell(uint32_t split, int smallCell) {
    constexpr int kAxisBits = 8 - kCellShift;
    constexpr int kSmallSpan = kCellSpan / 2;
    if (!smallDistances_) smallDistances_.emplace(palette_, kSmallSpan, avx2_);
    const TSplit& big = splits_[split];
    const TBox box = {2 * (big.cell >> (2 * kAxisBits)) + ((smallCell >> 2) & 1),
                      2 * ((big.cell >> kAxisBits) & (kPositions - 1)) + ((smallCell >> 1) & 1),
                      2 * (big.cell & (kPositions - 1)) + (smallCell & 1)};
    uint32_t keys[kMaxEntries];
    int count =
        smallDistances_->CandidatesAmong(box, splitEntries_.data() + big.first, big.count, keys);
    count = DropBeatenFromLong(keys, count, box, kSmallSpan);
    return smallCells_[8 * split + smallCell] = StoreCandidates(keys, count, box, *smallDistances_);
}

uint32_t TNearestColorIndex::StoreCandidates(uint32_t* keys, int count, const TBox& box,
                                             const TPaletteBoxDistances& distances) {
    uint32_t reach = 0;
    for (int i = 0; i < count; ++i)
        reach = std::max(reach, distances.FarSq(box, static_cast<int>(keys[i] & 0xFF)));
    if (count <= kMaxBlocks * kLanes && reach <= kLargestLaneDistance)
        return StoreBlocks(keys, count);
    std::sort(keys, keys + count);
    return StoreList(keys, count);
}

namespace {

// Eight 32-bit lanes; plain C++ that the compiler maps to the vector unit it builds for.
using TLanes32 = int32_t __attribute__((vector_size(32)));
constexpr int kLanes32 = 8;

}  // namespace

// Removes from candidate keys the entries that another candidate beats over the whole box: at
// every colour of the box it is nearer, or as near with a lower index. Beating is transitive,
// so every removed entry has a kept one that beats it, and the answer is always kept. The six
// entries nearest to the box are the likely winners: they challenge all the others, eight at a
// time. Short lists are left alone: ranking them costs less. Returns the new count. Built twice,
// the processor choosing at load time: with AVX2 the lanes multiply in one instruction.
// clang 14 leaves member functions with clones undefined, and the sanitizers' instrumented
// resolvers run before the sanitizer's own start-up: those builds (fuzzers, make asan, make
// tsan) take one version.
#if defined(__clang__) || defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define CLIPGIF_AVX2_CLONES
#else
#define CLIPGIF_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif

CLIPGIF_AVX2_CLONES int TNearestColorIndex::DropBeatenFromLong(uint32_t* keys, int count,
                                                               const TBox& box, int span) const {
    if (count <= kSplitAbove) return count;
    constexpr int kChallengers = 6;
    std::partial_sort(keys, keys + kChallengers, keys + count);
    // The candidates' channels and indices, lane by lane; the padding repeats the last one.
    constexpr int kMaxChunks = kMaxEntries / kLanes32;
    TLanes32 red[kMaxChunks], green[kMaxChunks], blue[kMaxChunks], index[kMaxChunks];
    const int chunks = (count + kLanes32 - 1) / kLanes32;
    for (int i = 0; i < chunks * kLanes32; ++i) {
        const int e = static_cast<int>(keys[std::min(i, count - 1)] & 0xFF);
        red[i / kLanes32][i % kLanes32] = palette_[e].peRed;
        green[i / kLanes32][i % kLanes32] = palette_[e].peGreen;
        blue[i / kLanes32][i % kLanes32] = palette_[e].peBlue;
        index[i / kLanes32][i % kLanes32] = e;
    }
    const int lo[3] = {box.red * span, box.green * span, box.blue * span};
    TLanes32 dropped[kMaxChunks] = {};
    for (int j = 0; j < kChallengers; ++j) {
        if (dropped[j / kLanes32][j % kLanes32]) continue;
        const TPaletteEntry& f = palette_[keys[j] & 0xFF];
        const int fIndex = static_cast<int>(keys[j] & 0xFF);
        const int fv[3] = {f.peRed, f.peGreen, f.peBlue};
        for (int c = 0; c < chunks; ++c) {
            // Per channel (p - ev)^2 - (p - fv)^2 = (fv - ev)(2p - ev - fv), least at the box's
            // low end p where f lies higher, else at its high end.
            const TLanes32* ev[3] = {&red[c], &green[c], &blue[c]};
            TLanes32 least = {};
            for (int channel = 0; channel < 3; ++channel) {
                const TLanes32 d = fv[channel] - *ev[channel];
                const TLanes32 p =
                    d > 0 ? TLanes32{} + lo[channel] : TLanes32{} + (lo[channel] + span - 1);
                least += d * (2 * p - *ev[channel] - fv[channel]);
            }
            dropped[c] |= (least > 0) | ((least == 0) & (fIndex < index[c]));
        }
    }
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (!dropped[i / kLanes32][i % kLanes32]) keys[kept++] = keys[i];
    return kept;
}

// Blocks for candidates whose squared distances to every colour of the cell fit 16 bits. Lanes
// go by palette index, so the first least lane is the lowest index.
uint32_t TNearestColorIndex::StoreBlocks(const uint32_t* keys, int count) {
    uint8_t indices[kMaxBlocks * kLanes];
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
    const auto extraBlocks = static_cast<uint32_t>((count - 1) / kLanes);
    return first | (extraBlocks << kBlockCountShift);
}

uint32_t TNearestColorIndex::StoreList(const uint32_t* keys, int count) {
    lists_.push_back({static_cast<int32_t>(listEntries_.size()), count});
    for (int i = 0; i < count; ++i) {
        listEntries_.push_back(static_cast<uint8_t>(keys[i] & 0xFF));
        listBounds_.push_back(keys[i] >> 8);
    }
    return kListFlag + static_cast<uint32_t>(lists_.size() - 1);
}
