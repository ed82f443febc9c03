#pragma once
// ColorDistance of eight pairs of colours at once, for functions compiled for AVX2 (see
// platform/WidePixels.h for the colours as words).
#include "gif/colour/ColorDistance.h"
#include "platform/WidePixels.h"

#ifdef CLIPGIF_X86_FEATURES
// Eight colours' channels as 16-bit pairs: red and blue, green and 0. Differences and weighted
// differences of channels fit 16 bits, so a multiply-add makes the products and sums of a pair.
struct TWideColor {
    __m256i RedBlue;
    __m256i Green;
};

__attribute__((target("avx2"))) inline TWideColor SplitColor(__m256i words) {
    return {_mm256_and_si256(words, _mm256_set1_epi32(0x00FF00FF)),
            _mm256_and_si256(_mm256_srli_epi32(words, 8), _mm256_set1_epi32(0xFF))};
}

__attribute__((target("avx2"))) inline TWideColor Difference(const TWideColor& a,
                                                             const TWideColor& b) {
    return {_mm256_sub_epi16(a.RedBlue, b.RedBlue), _mm256_sub_epi16(a.Green, b.Green)};
}

// The weighted sum of the products of two differences' channels: ColorDistance of a difference
// with itself.
__attribute__((target("avx2"))) inline __m256i WeightedProduct(const TWideColor& a,
                                                               const TWideColor& b) {
    const __m256i weightsRB =
        _mm256_set1_epi32((kPerceptualWeights.Blue << 16) | kPerceptualWeights.Red);
    const __m256i weightsG = _mm256_set1_epi32(kPerceptualWeights.Green);
    return _mm256_add_epi32(_mm256_madd_epi16(a.RedBlue, _mm256_mullo_epi16(b.RedBlue, weightsRB)),
                            _mm256_madd_epi16(a.Green, _mm256_mullo_epi16(b.Green, weightsG)));
}

__attribute__((target("avx2"))) inline __m256i WideDistance(const TWideColor& a,
                                                            const TWideColor& b) {
    const TWideColor difference = Difference(a, b);
    return WeightedProduct(difference, difference);
}
#endif
