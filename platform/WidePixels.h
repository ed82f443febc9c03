#pragma once
// Eight pixels at a time in 256-bit vectors, for functions compiled for AVX2 (their target
// attribute) that run only where HasWideVectors().
#include <cstdint>

#include "platform/ProcessorFeatures.h"

#ifdef CLIPGIF_X86_FEATURES
#include <immintrin.h>

// Eight pixels of a row of blue, green, red bytes (24 of them, no more are read) as words of
// red | green << 8 | blue << 16.
__attribute__((target("avx2"))) inline __m256i RedGreenBlueWords(const uint8_t* bgr) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 8));
    // Pixels 0-3 are bytes 0-11 of the first half, pixels 4-7 bytes 4-15 of the second.
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(first), last, 1);
    const __m256i order =
        _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1,  //
                         6, 5, 4, -1, 9, 8, 7, -1, 12, 11, 10, -1, 15, 14, 13, -1);
    return _mm256_shuffle_epi8(both, order);
}

// Bit i set where flags[i] is not zero, for i below 8.
__attribute__((target("avx2"))) inline unsigned FlaggedLanes(const uint8_t* flags) {
    const __m128i zero = _mm_cmpeq_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(flags)),
                                        _mm_setzero_si128());
    return ~static_cast<unsigned>(_mm_movemask_epi8(zero)) & 0xFFu;
}
#endif
