#pragma once
// Eight pixels at a time in 256-bit vectors, for functions compiled for AVX2 (their target
// attribute) that run only where HasWideVectors(). A pixel is a word: red | green << 8 |
// blue << 16.
#include <cstdint>

#include "platform/ProcessorFeatures.h"

#ifdef CLIPGIF_X86_FEATURES
#include <immintrin.h>

// Eight pixels of three bytes each (24 bytes, no more are read), the bytes of each put in the
// order `order` gives for the first four pixels (the other four follow four bytes on).
__attribute__((target("avx2"))) inline __m256i ThreeByteWords(const uint8_t* bytes,
                                                              const __m128i order) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 8));
    // Pixels 0-3 are bytes 0-11 of the first half, pixels 4-7 bytes 4-15 of the second.
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(first), last, 1);
    // Bytes of -1 (a zero byte) stay -1.
    const __m128i later = _mm_or_si128(_mm_add_epi8(order, _mm_set1_epi8(4)),
                                       _mm_cmplt_epi8(order, _mm_setzero_si128()));
    return _mm256_shuffle_epi8(both, _mm256_setr_m128i(order, later));
}

// Eight pixels of a row of blue, green, red bytes.
__attribute__((target("avx2"))) inline __m256i RedGreenBlueWords(const uint8_t* bgr) {
    return ThreeByteWords(bgr, _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1));
}

// Eight pixels of a row of red, green, blue bytes.
__attribute__((target("avx2"))) inline __m256i RgbWords(const uint8_t* rgb) {
    return ThreeByteWords(rgb, _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
}

// Eight pixels written as red, green, blue bytes (24 of them, no more are written).
__attribute__((target("avx2"))) inline void StoreRgbWords(uint8_t* rgb, __m256i words) {
    const __m256i packed = _mm256_shuffle_epi8(
        words, _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m128i last = _mm256_extracti128_si256(packed, 1);
    // The first store's last four bytes are the second's first ones.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb + 12), last);
    _mm_storeu_si32(rgb + 20, _mm_srli_si128(last, 8));
}

// The low bytes of eight words, in order.
__attribute__((target("avx2"))) inline __m128i LowBytes(__m256i words) {
    const __m256i gathered = _mm256_shuffle_epi8(
        words, _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
    return _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(gathered, _mm256_setr_epi32(0, 4, 1, 1, 1, 1, 1, 1)));
}

// Bit i set where byte i of the low eight of `flags` (loaded already) is not zero.
__attribute__((target("avx2"))) inline unsigned FlaggedLanes(__m128i flags) {
    const __m128i zero = _mm_cmpeq_epi8(flags, _mm_setzero_si128());
    return ~static_cast<unsigned>(_mm_movemask_epi8(zero)) & 0xFFu;
}

// Bit i set where flags[i] is not zero, for i below 8.
__attribute__((target("avx2"))) inline unsigned FlaggedLanes(const uint8_t* flags) {
    return FlaggedLanes(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(flags)));
}
#endif
