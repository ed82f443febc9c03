#include "platform/PaletteBoxDistances.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kMaxEntries = 256;
// Rows are padded to a multiple of the widest vector of 16-bit lanes.
constexpr size_t kPadding = 16;

// Sixteen 16-bit lanes; plain C++ that the compiler maps to the vector unit it builds for.
using TLanes16 = int16_t __attribute__((vector_size(32)));
using TUnsignedLanes16 = uint16_t __attribute__((vector_size(32)));

}  // namespace

TPaletteBoxDistances::TPaletteBoxDistances(const TPalette& palette, int span, bool useAvx2)
    : span_(span),
      positions_(256 / span),
      entryCount_(static_cast<int>(std::min(palette.size(), kMaxEntries))),
      stride_((entryCount_ + kPadding - 1) / kPadding * kPadding),
      useAvx2_(useAvx2),
      nearSq_(3 * positions_ * stride_),
      farSq_(nearSq_.size()) {
    std::vector<int16_t> values(3 * stride_, 0);
    for (int i = 0; i < entryCount_; ++i) {
        values[i] = palette[i].peRed;
        values[stride_ + i] = palette[i].peGreen;
        values[2 * stride_ + i] = palette[i].peBlue;
    }
    const TLanes16 zero = {};
    for (int axis = 0; axis < 3; ++axis)
        for (int pos = 0; pos < positions_; ++pos) {
            const auto lo = static_cast<int16_t>(pos * span_);
            const auto hi = static_cast<int16_t>(lo + span_ - 1);
            const size_t row = Row(axis, pos);
            for (size_t e = 0; e < stride_; e += kPadding) {
                TLanes16 v;
                std::memcpy(&v, values.data() + axis * stride_ + e, sizeof v);
                const TLanes16 below = lo - v, above = v - hi;
                const TLanes16 fromLow = v - lo, fromHigh = hi - v;
                TLanes16 nearest = below > above ? below : above;
                nearest = nearest > zero ? nearest : zero;
                const TLanes16 farthest = fromLow > fromHigh ? fromLow : fromHigh;
                // Squares up to 255^2 fit only unsigned 16-bit lanes: square them as such.
                const auto nearU = reinterpret_cast<const TUnsignedLanes16&>(nearest);
                const auto farU = reinterpret_cast<const TUnsignedLanes16&>(farthest);
                const TUnsignedLanes16 nearSq = nearU * nearU, farSq = farU * farU;
                std::memcpy(nearSq_.data() + row + e, &nearSq, sizeof nearSq);
                std::memcpy(farSq_.data() + row + e, &farSq, sizeof farSq);
            }
            std::fill(nearSq_.begin() + row + entryCount_, nearSq_.begin() + row + stride_,
                      kSaturated);
            std::fill(farSq_.begin() + row + entryCount_, farSq_.begin() + row + stride_,
                      kSaturated);
        }
}

int TPaletteBoxDistances::Candidates(const TBox& box, uint32_t* keys) const {
    if (useAvx2_) {
        const int count = CandidatesAvx2(box, keys);
        if (count >= 0) return count;
    }
    return CandidatesPortable(box, keys);
}

int TPaletteBoxDistances::CandidatesPortable(const TBox& box, uint32_t* keys) const {
    uint32_t bestFar = UINT32_MAX;
    for (int e = 0; e < entryCount_; ++e) bestFar = std::min(bestFar, FarSq(box, e));
    int count = 0;
    for (int e = 0; e < entryCount_; ++e) {
        const uint32_t nearSq = NearSq(box, e);
        if (nearSq <= bestFar) keys[count++] = (nearSq << 8) | static_cast<uint32_t>(e);
    }
    return count;
}

namespace {

__attribute__((target("avx2"))) inline __m256i LoadRow(const uint16_t* row, size_t e) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + e));
}

// Saturated sums of three rows at entry e.
__attribute__((target("avx2"))) inline __m256i SumOfRows(const uint16_t* const* rows, size_t e) {
    return _mm256_adds_epu16(_mm256_adds_epu16(LoadRow(rows[0], e), LoadRow(rows[1], e)),
                             LoadRow(rows[2], e));
}

}  // namespace

__attribute__((target("avx2"))) int TPaletteBoxDistances::CandidatesAvx2(const TBox& box,
                                                                         uint32_t* keys) const {
    const uint16_t* nearRows[3] = {nearSq_.data() + Row(0, box.red),
                                   nearSq_.data() + Row(1, box.green),
                                   nearSq_.data() + Row(2, box.blue)};
    const uint16_t* farRows[3] = {farSq_.data() + Row(0, box.red),
                                  farSq_.data() + Row(1, box.green),
                                  farSq_.data() + Row(2, box.blue)};
    __m256i least = _mm256_set1_epi16(static_cast<int16_t>(kSaturated));
    for (size_t e = 0; e < stride_; e += kPadding)
        least = _mm256_min_epu16(least, SumOfRows(farRows, e));
    const __m128i half =
        _mm_min_epu16(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
    const auto bestFar = static_cast<uint16_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(half)));
    if (bestFar == kSaturated) return -1;

    const __m256i limit = _mm256_set1_epi16(static_cast<int16_t>(bestFar));
    alignas(32) uint16_t nearSq[kPadding];
    int count = 0;
    for (size_t e = 0; e < stride_; e += kPadding) {
        const __m256i near = SumOfRows(nearRows, e);
        // Lanes at or below the limit: min(near, limit) == near. Two mask bits per lane.
        auto mask = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_min_epu16(near, limit), near)));
        if (mask == 0) continue;
        _mm256_store_si256(reinterpret_cast<__m256i*>(nearSq), near);
        for (; mask != 0; mask &= mask - 1) {
            const int lane = __builtin_ctz(mask) >> 1;
            mask &= mask - 1;  // the lane's second bit
            keys[count++] = (uint32_t{nearSq[lane]} << 8) | static_cast<uint32_t>(e + lane);
        }
    }
    return count;
}

int TPaletteBoxDistances::CandidatesAmong(const TBox& box, const uint8_t* entries, int count,
                                          uint32_t* keys) const {
    const uint16_t* nearR = nearSq_.data() + Row(0, box.red);
    const uint16_t* nearG = nearSq_.data() + Row(1, box.green);
    const uint16_t* nearB = nearSq_.data() + Row(2, box.blue);
    const uint16_t* farR = farSq_.data() + Row(0, box.red);
    const uint16_t* farG = farSq_.data() + Row(1, box.green);
    const uint16_t* farB = farSq_.data() + Row(2, box.blue);
    uint32_t nearSq[kMaxEntries];
    uint32_t bestFar = UINT32_MAX;
    for (int i = 0; i < count; ++i) {
        const uint8_t e = entries[i];
        nearSq[i] = uint32_t{nearR[e]} + nearG[e] + nearB[e];
        bestFar = std::min(bestFar, uint32_t{farR[e]} + farG[e] + farB[e]);
    }
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (nearSq[i] <= bestFar) keys[kept++] = (nearSq[i] << 8) | entries[i];
    return kept;
}
