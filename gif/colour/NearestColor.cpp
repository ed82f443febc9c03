#include "gif/colour/NearestColor.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "gif/colour/WideColorDistance.h"
#include "platform/ProcessorFeatures.h"
#include "platform/WidePixels.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef CLIPGIF_X86_FEATURES
#include <immintrin.h>
#endif

namespace {

// Bit j set when distances[j] <= limit, for j below 16.
unsigned NotFartherMask(const int* distances, int limit) {
#ifdef __SSE2__
    const __m128i bound = _mm_set1_epi32(limit);
    const auto farther = [&](int i) {
        return _mm_cmpgt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(distances + i)),
                               bound);
    };
    // The comparisons' all-ones and zeros, narrowed to a byte each, then one bit each.
    const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(farther(0), farther(4)),
                                          _mm_packs_epi32(farther(8), farther(12)));
    return ~static_cast<unsigned>(_mm_movemask_epi8(bytes)) & 0xFFFFu;
#else
    unsigned mask = 0;
    for (int j = 0; j < 16; ++j) mask |= static_cast<unsigned>(distances[j] <= limit) << j;
    return mask;
#endif
}

#ifdef __SSE2__
// Weighted distances from a colour to four entries at once, given as 16-bit pairs (red and
// green, blue and 0): each channel's product and the sum of a pair in one multiply-add.
class TVectorDistance {
public:
    TVectorDistance(int r, int g, int b)
        : centreRG_(_mm_set1_epi32(
              static_cast<int>((static_cast<uint32_t>(g) << 16) | static_cast<uint32_t>(r)))),
          centreB_(_mm_set1_epi32(b)),
          weightsRG_(_mm_set1_epi32((kPerceptualWeights.Green << 16) | kPerceptualWeights.Red)),
          weightsB_(_mm_set1_epi32(kPerceptualWeights.Blue)) {}
    __m128i Of(__m128i redGreen, __m128i blueZero) const {
        const __m128i rg = _mm_sub_epi16(redGreen, centreRG_);
        const __m128i b0 = _mm_sub_epi16(blueZero, centreB_);
        return _mm_add_epi32(_mm_madd_epi16(rg, _mm_mullo_epi16(rg, weightsRG_)),
                             _mm_madd_epi16(b0, _mm_mullo_epi16(b0, weightsB_)));
    }

private:
    __m128i centreRG_, centreB_, weightsRG_, weightsB_;
};

// SSE2 has no 32-bit minimum: the smaller of each lane by a comparison's mask.
__m128i Least(__m128i a, __m128i b) {
    const __m128i smaller = _mm_cmplt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(smaller, a), _mm_andnot_si128(smaller, b));
}

int LeastLane(__m128i values) {
    alignas(16) int lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), values);
    return std::min(std::min(lanes[0], lanes[1]), std::min(lanes[2], lanes[3]));
}

// The 32-bit word of 16-bit pairs of entry `index`.
int PairOf(const int16_t* pairs, int index) {
    int word;
    std::memcpy(&word, pairs + 2 * index, sizeof(word));
    return word;
}
#endif

#if defined(CLIPGIF_X86_FEATURES) && defined(__SSE2__)
#define CLIPGIF_WIDE_VECTORS 1

// PaletteDistances eight entries at a time (the same sums), where the processor can.
__attribute__((target("avx2"))) int WidePaletteDistances(const int16_t* redGreen,
                                                         const int16_t* blueZero, int r, int g,
                                                         int b, int count, int* distances) {
    const __m256i centreRG = _mm256_set1_epi32(
        static_cast<int>((static_cast<uint32_t>(g) << 16) | static_cast<uint32_t>(r)));
    const __m256i centreB = _mm256_set1_epi32(b);
    const __m256i weightsRG =
        _mm256_set1_epi32((kPerceptualWeights.Green << 16) | kPerceptualWeights.Red);
    const __m256i weightsB = _mm256_set1_epi32(kPerceptualWeights.Blue);
    __m256i least = _mm256_set1_epi32(INT_MAX);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i rg = _mm256_sub_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(redGreen + 2 * i)), centreRG);
        const __m256i b0 = _mm256_sub_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blueZero + 2 * i)), centreB);
        const __m256i sum =
            _mm256_add_epi32(_mm256_madd_epi16(rg, _mm256_mullo_epi16(rg, weightsRG)),
                             _mm256_madd_epi16(b0, _mm256_mullo_epi16(b0, weightsB)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(distances + i), sum);
        least = _mm256_min_epi32(least, sum);
    }
    alignas(32) int lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), least);
    int nearest = *std::min_element(lanes, lanes + 8);
    for (; i < count; ++i) {
        distances[i] =
            ColorDistance(redGreen[2 * i] - r, redGreen[2 * i + 1] - g, blueZero[2 * i] - b);
        nearest = std::min(nearest, distances[i]);
    }
    return nearest;
}
#endif

}  // namespace

// The distances of the `count` listed entries to (r, g, b); returns the least (INT_MAX for
// none).
int TNearestColor::ListDistances(const uint8_t* list, int count, int r, int g, int b,
                                 int* distances) const {
    int least = INT_MAX;
    int i = 0;
#ifdef __SSE2__
    const TVectorDistance distance(r, g, b);
    __m128i leastLanes = _mm_set1_epi32(INT_MAX);
    for (; i + 4 <= count; i += 4) {
        const auto gather = [&](const int16_t* pairs) {
            return _mm_set_epi32(PairOf(pairs, list[i + 3]), PairOf(pairs, list[i + 2]),
                                 PairOf(pairs, list[i + 1]), PairOf(pairs, list[i]));
        };
        const __m128i redGreen = gather(redGreen_), blueZero = gather(blueZero_);
        const __m128i sum = distance.Of(redGreen, blueZero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(distances + i), sum);
        leastLanes = Least(leastLanes, sum);
    }
    least = LeastLane(leastLanes);
#endif
    for (; i < count; ++i) {
        distances[i] = ColorDistance(colors_[list[i]], r, g, b);
        least = std::min(least, distances[i]);
    }
    return least;
}

// The distances of the first `count` entries (a multiple of 4) to (r, g, b); returns the least.
// Differences and weighted differences fit 16 bits (the far-away entries too), their products
// and sums 32.
int TNearestColor::PaletteDistances(int r, int g, int b, int count, int* distances) const {
#ifdef CLIPGIF_WIDE_VECTORS
    if (HasWideVectors())
        return WidePaletteDistances(redGreen_, blueZero_, r, g, b, count, distances);
#endif
#ifdef __SSE2__
    const TVectorDistance distance(r, g, b);
    __m128i least = _mm_set1_epi32(INT_MAX);
    for (int i = 0; i < count; i += 4) {
        const __m128i sum =
            distance.Of(_mm_load_si128(reinterpret_cast<const __m128i*>(redGreen_ + 2 * i)),
                        _mm_load_si128(reinterpret_cast<const __m128i*>(blueZero_ + 2 * i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(distances + i), sum);
        least = Least(least, sum);
    }
    return LeastLane(least);
#else
    int least = INT_MAX;
    for (int i = 0; i < count; ++i) {
        distances[i] =
            ColorDistance(redGreen_[2 * i] - r, redGreen_[2 * i + 1] - g, blueZero_[2 * i] - b);
        least = std::min(least, distances[i]);
    }
    return least;
#endif
}

void TNearestColor::TListLevel::MakeTables() {
    Cells = TZeroedTable<TCell>(size_t{1} << (3 * Bits));
}

TNearestColor::TNearestColor() : fine_(0) {
    for (int i = 0; i < 256; ++i) all_[i] = static_cast<uint8_t>(i);
}

void TNearestColor::SetPalette(const TGIFColor* colors, int count) {
    if (fine_.size() == 0) {
        fine_ = TZeroedTable<uint32_t>(kFineCells);
        wide_.MakeTables();
        middle_.MakeTables();
    }
    count_ = std::clamp(count, 0, 256);
    std::copy(colors, colors + count_, colors_);
    for (int i = 0; i < 256; ++i) {
        const bool entry = i < count_;
        redGreen_[2 * i] = static_cast<int16_t>(entry ? colors_[i].Red : kFarAway);
        redGreen_[2 * i + 1] = static_cast<int16_t>(entry ? colors_[i].Green : kFarAway);
        blueZero_[2 * i] = static_cast<int16_t>(entry ? colors_[i].Blue : kFarAway);
        blueZero_[2 * i + 1] = 0;
        packed_[i] = entry ? static_cast<uint32_t>(colors_[i].Red | colors_[i].Green << 8 |
                                                   colors_[i].Blue << 16)
                           : 0;
    }
    wide_.Used = 0;
    middle_.Used = 0;
    // Fine cells keep the stamp's low byte: every 256 palettes they start afresh; so do the
    // lists once the stamps wrap. Stamp 0 is never used.
    ++stamp_;
    if (stamp_ == 0) {
        for (TListLevel* level : {&wide_, &middle_}) level->Cells.Clear();
    }
    if ((stamp_ & 0xFF) == 0) {
        fine_.Clear();
        ++stamp_;
    }
}

// An entry nearest to a colour x of the cell lies within (nearest distance from the centre c) +
// 2 x (cell diagonal d) of the centre: |c - e*| <= |x - e*| + d <= |x - e0| + d <= |c - e0| + 2d.
// The parent's list holds every entry nearest to some colour of the parent cell, which holds
// this one, so looking only there loses none.
uint32_t TNearestColor::ListOf(TListLevel& level, const TListLevel* parent, int r, int g, int b) {
    const size_t cell = TListLevel::CellOf(r, g, b, level.Bits);
    TListLevel::TCell& filled = level.Cells[cell];
    if (filled.Stamp == stamp_) return filled.List;
    const uint8_t* from = all_;
    const uint8_t* to = all_ + count_;
    if (parent) {
        const uint32_t list = parent->Cells[TListLevel::CellOf(r, g, b, parent->Bits)].List;
        from = parent->Entries.data() + (list >> 9);
        to = from + (list & 0x1FF);
    }
    const int half = 1 << (7 - level.Bits);  // half a cell's side, in levels
    const int mask = ~((half << 1) - 1);
    const int cr = (r & mask) + half, cg = (g & mask) + half, cb = (b & mask) + half;
    int distances[256];
    int nearest = INT_MAX;
    const int count = static_cast<int>(to - from);
    const int rounded = (count + kVectorEntries - 1) & ~(kVectorEntries - 1);
    if (!parent) {
        // The whole palette, rounded up to whole vectors (the entries past it lie far away).
        nearest = PaletteDistances(cr, cg, cb, rounded, distances);
    } else {
        nearest = ListDistances(from, count, cr, cg, cb, distances);
    }
    const double reach = std::sqrt(static_cast<double>(nearest)) +
                         2 * std::sqrt(static_cast<double>(ColorDistance(half, half, half)));
    // Far beyond any distance of two colours when it does not fit.
    const int limit = static_cast<int>(std::min(std::ceil(reach * reach) + 1, double{INT_MAX}));
    // The entries are compared a vector at a time into a mask, without a branch, and only the
    // few kept are written (a list keeps a few of its parent's many entries).
    std::fill(distances + count, distances + rounded, INT_MAX);
    const size_t offset = level.Used;
    if (level.Entries.size() < offset + static_cast<size_t>(count))
        level.Entries.resize(
            std::max(offset + static_cast<size_t>(count), 2 * level.Entries.size()));
    uint8_t* kept = level.Entries.data() + offset;
    size_t length = 0;
    for (int i = 0; i < rounded; i += kVectorEntries) {
        for (unsigned mask = NotFartherMask(distances + i, limit); mask != 0; mask &= mask - 1)
            kept[length++] = from[i + std::countr_zero(mask)];
    }
    level.Used = offset + length;
    const uint32_t list = static_cast<uint32_t>(offset << 9) | static_cast<uint32_t>(length);
    filled = {stamp_, list};
    return list;
}

// The three entries of the 8-level cell's list nearest to the fine cell's centre, nearest
// first (the lower index first among equally near ones): the three smallest distance-and-index
// keys, kept in order by minimum and maximum instead of branches.
uint32_t TNearestColor::FillFineCell(size_t cell, int r, int g, int b) {
    static_assert(kCellEntries == 3, "a fine cell keeps three entries");
    // The 8-level cell's list is made from its 16-level cell's, made first when it is not yet.
    if (middle_.Cells[TListLevel::CellOf(r, g, b, middle_.Bits)].Stamp != stamp_)
        ListOf(wide_, nullptr, r, g, b);
    const uint32_t list = ListOf(middle_, &wide_, r, g, b);
#ifdef CLIPGIF_WIDE_VECTORS
    if (HasWideVectors()) return FillSiblingCellsWide(list, r, g, b);
#endif
    const int cr = (r & ~3) + 2, cg = (g & ~3) + 2, cb = (b & ~3) + 2;
    const uint8_t* entry = middle_.Entries.data() + (list >> 9);
    const uint32_t length = list & 0x1FF;
    const uint8_t* end = entry + length;
    uint32_t first = UINT32_MAX, second = UINT32_MAX, third = UINT32_MAX;
    for (; entry != end; ++entry) {
        const uint32_t key = NearestKey(*entry, cr, cg, cb);
        const uint32_t pushed = std::max(first, key);
        first = std::min(first, key);
        third = std::min(third, std::max(second, pushed));
        second = std::min(second, pushed);
    }
    // A list of fewer entries repeats its last.
    if (length < 2) second = first;
    if (length < 3) third = second;
    const uint32_t entries = (first & 0xFF) | (second & 0xFF) << 8 | (third & 0xFF) << 16;
    fine_[cell] = ((stamp_ & 0xFF) << 24) | entries;
    return entries;
}

void TNearestColor::CellEntriesRow(const uint8_t* bgr, int count, const uint8_t* moved,
                                   uint32_t* entries) {
    int x = 0;
#ifdef CLIPGIF_WIDE_VECTORS
    if (HasWideVectors()) x = CellEntriesRowWide(bgr, count, moved, entries);
#endif
    for (; x < count; ++x) {
        if (moved && !moved[x]) continue;
        const uint8_t* p = bgr + 3 * x;
        entries[x] = CellOf(p[2], p[1], p[0]);
    }
}

#ifdef CLIPGIF_WIDE_VECTORS
// Each group's fine cells are fetched at once; the few not filled for this palette yet are
// filled one by one. Groups with no moved pixel are skipped.
__attribute__((target("avx2"))) int TNearestColor::CellEntriesRowWide(const uint8_t* bgr, int count,
                                                                      const uint8_t* moved,
                                                                      uint32_t* entries) {
    const auto* fine = reinterpret_cast<const int*>(&fine_[0]);
    const __m256i stamp = _mm256_set1_epi32(static_cast<int>(stamp_ & 0xFF));
    const __m256i low24 = _mm256_set1_epi32(0xFFFFFF);
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const unsigned wanted = moved ? FlaggedLanes(moved + x) : 0xFFu;
        if (wanted == 0) continue;
        const __m256i pixels = RedGreenBlueWords(bgr + 3 * x);
        const __m256i cells = _mm256_or_si256(
            _mm256_or_si256(
                _mm256_slli_epi32(_mm256_and_si256(pixels, _mm256_set1_epi32(0xFC)), 10),
                _mm256_srli_epi32(_mm256_and_si256(pixels, _mm256_set1_epi32(0xFC00)), 4)),
            _mm256_srli_epi32(_mm256_and_si256(pixels, _mm256_set1_epi32(0xFC0000)), 18));
        const __m256i filled = _mm256_i32gather_epi32(fine, cells, 4);
        const __m256i current = _mm256_cmpeq_epi32(_mm256_srli_epi32(filled, 24), stamp);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(entries + x),
                            _mm256_and_si256(filled, low24));
        unsigned missing =
            ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(current))) & wanted;
        for (; missing != 0; missing &= missing - 1) {
            const int at = x + std::countr_zero(missing);
            const uint8_t* p = bgr + 3 * at;
            entries[at] = CellOf(p[2], p[1], p[0]);
        }
    }
    return x;
}
#endif

#ifdef CLIPGIF_WIDE_VECTORS
// The eight fine cells of the 8-level cell holding (r, g, b) share its list: each entry of it is
// set against all eight centres at once, a lane each, keeping each lane's three smallest keys as
// FillFineCell does. Neighbouring colours of a picture mostly fall into neighbouring cells, so
// most of the seven others are asked for soon.
__attribute__((target("avx2"))) uint32_t TNearestColor::FillSiblingCellsWide(uint32_t list, int r,
                                                                             int g, int b) {
    // Lane k: the fine cell k / 4 up in red, k / 2 % 2 in green, k % 2 in blue.
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i up = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(_mm256_srli_epi32(lane, 2), one), 2),
                        _mm256_slli_epi32(_mm256_and_si256(_mm256_srli_epi32(lane, 1), one), 10)),
        _mm256_slli_epi32(_mm256_and_si256(lane, one), 18));
    const int corner = ((r & ~7) + 2) | ((g & ~7) + 2) << 8 | ((b & ~7) + 2) << 16;
    const TWideColor centres = SplitColor(_mm256_add_epi32(_mm256_set1_epi32(corner), up));
    const uint8_t* entry = middle_.Entries.data() + (list >> 9);
    const uint32_t length = list & 0x1FF;
    __m256i first = _mm256_set1_epi32(-1), second = first, third = first;
    for (const uint8_t* end = entry + length; entry != end; ++entry) {
        const TWideColor colour = SplitColor(_mm256_set1_epi32(static_cast<int>(packed_[*entry])));
        const __m256i key = _mm256_or_si256(_mm256_slli_epi32(WideDistance(colour, centres), 8),
                                            _mm256_set1_epi32(*entry));
        const __m256i pushed = _mm256_max_epu32(first, key);
        first = _mm256_min_epu32(first, key);
        third = _mm256_min_epu32(third, _mm256_max_epu32(second, pushed));
        second = _mm256_min_epu32(second, pushed);
    }
    // A list of fewer entries repeats its last.
    if (length < 2) second = first;
    if (length < 3) third = second;
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m256i entries = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(first, low),
                        _mm256_slli_epi32(_mm256_and_si256(second, low), 8)),
        _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(third, low), 16),
                        _mm256_set1_epi32(static_cast<int>((stamp_ & 0xFF) << 24))));
    alignas(32) uint32_t cells[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(cells), entries);
    const size_t base = static_cast<size_t>(((r >> 3) << 13) | ((g >> 3) << 7) | ((b >> 3) << 1));
    for (size_t k = 0; k < 8; ++k)
        fine_[base | (k >> 2) << 12 | ((k >> 1) & 1) << 6 | (k & 1)] = cells[k];
    const size_t mine =
        static_cast<size_t>(((r >> 2) & 1) << 2 | ((g >> 2) & 1) << 1 | ((b >> 2) & 1));
    return cells[mine] & 0xFFFFFF;
}
#endif
