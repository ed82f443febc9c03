#include "gif/optimise/StillRuns.h"

#include <array>

#include "platform/ProcessorFeatures.h"

#ifdef CLIPGIF_X86_FEATURES
#include <immintrin.h>
#endif

namespace {

uint32_t MarkMovedOneByOne(const uint8_t* a, const uint8_t* b, int distance, uint8_t* marks) {
    uint32_t moved = 0;
    for (int i = 0; i < kStillRun; ++i, a += 3, b += 3) {
        const bool far = ColorDistance(a[2] - b[2], a[1] - b[1], a[0] - b[0]) > distance;
        marks[i] = far ? 1 : 0;
        moved |= static_cast<uint32_t>(far) << i;
    }
    return moved;
}

#ifdef CLIPGIF_X86_FEATURES
static_assert(kStillRun == 16, "a stretch is one vector of bytes a channel");

// Byte shuffles that gather channel c of the sixteen pixels from the third p of their 48 bytes
// (entry 3c + p): lane i takes byte 3i + c when it lies in that third, else nothing.
using TShuffle = std::array<int8_t, 16>;
constexpr std::array<TShuffle, 9> MakeGathers() {
    std::array<TShuffle, 9> gathers{};
    for (int channel = 0; channel < 3; ++channel)
        for (int part = 0; part < 3; ++part)
            for (int i = 0; i < 16; ++i) {
                const int at = 3 * i + channel - 16 * part;
                gathers[static_cast<size_t>(3 * channel + part)][static_cast<size_t>(i)] =
                    at >= 0 && at < 16 ? static_cast<int8_t>(at) : -128;
            }
    return gathers;
}
alignas(16) constexpr std::array<TShuffle, 9> kGathers = MakeGathers();

__attribute__((target("ssse3"))) __m128i Channel(const __m128i parts[3], int channel) {
    __m128i gathered = _mm_setzero_si128();
    for (int part = 0; part < 3; ++part) {
        const TShuffle& order = kGathers[static_cast<size_t>(3 * channel + part)];
        const __m128i shuffle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(order.data()));
        gathered = _mm_or_si128(gathered, _mm_shuffle_epi8(parts[part], shuffle));
    }
    return gathered;
}

// Four pixels' distances from their channels' differences (16-bit lanes): red and green in pairs
// for one multiply-add, blue with a zero.
__attribute__((target("ssse3"))) __m128i Distances(__m128i red, __m128i green, __m128i blue) {
    const __m128i weightsRG =
        _mm_set1_epi32((kPerceptualWeights.Green << 16) | kPerceptualWeights.Red);
    const __m128i weightsB = _mm_set1_epi32(kPerceptualWeights.Blue);
    const __m128i rg = _mm_unpacklo_epi16(red, green);
    const __m128i b0 = _mm_unpacklo_epi16(blue, _mm_setzero_si128());
    return _mm_add_epi32(_mm_madd_epi16(rg, _mm_mullo_epi16(rg, weightsRG)),
                         _mm_madd_epi16(b0, _mm_mullo_epi16(b0, weightsB)));
}

// The channels' differences (both ways, saturated) gathered a channel a vector, widened to
// 16 bits four pixels at a time; the marks from the mask's bits.
__attribute__((target("ssse3"))) uint32_t MarkMovedShuffled(const uint8_t* a, const uint8_t* b,
                                                            int distance, uint8_t* marks) {
    __m128i differences[3];
    for (int part = 0; part < 3; ++part) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * part));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * part));
        differences[part] = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i blue = Channel(differences, 0), green = Channel(differences, 1),
                  red = Channel(differences, 2);
    const __m128i bound = _mm_set1_epi32(distance);
    __m128i far[4];
    for (int half = 0; half < 2; ++half) {
        const auto widen = [&](__m128i channel) {
            return half == 0 ? _mm_unpacklo_epi8(channel, zero) : _mm_unpackhi_epi8(channel, zero);
        };
        const __m128i r = widen(red), g = widen(green), bl = widen(blue);
        far[2 * half] = _mm_cmpgt_epi32(Distances(r, g, bl), bound);
        far[2 * half + 1] =
            _mm_cmpgt_epi32(Distances(_mm_unpackhi_epi64(r, r), _mm_unpackhi_epi64(g, g),
                                      _mm_unpackhi_epi64(bl, bl)),
                            bound);
    }
    const __m128i farBytes =
        _mm_packs_epi16(_mm_packs_epi32(far[0], far[1]), _mm_packs_epi32(far[2], far[3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(marks), _mm_and_si128(farBytes, _mm_set1_epi8(1)));
    return static_cast<uint32_t>(_mm_movemask_epi8(farBytes));
}
#endif

}  // namespace

uint32_t MarkMovedPixels(const uint8_t* a, const uint8_t* b, int distance, uint8_t* marks) {
#ifdef CLIPGIF_X86_FEATURES
    if (HasByteShuffle()) return MarkMovedShuffled(a, b, distance, marks);
#endif
    return MarkMovedOneByOne(a, b, distance, marks);
}
