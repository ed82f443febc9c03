#pragma once
// Consecutive pictures of a clip often repeat whole stretches of a row byte for byte, or within
// a level or two of noise (a still background, a flat area the codec skipped): loops that look
// for the pixels that changed pass over such a stretch with one test instead of a distance a
// pixel.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "gif/colour/ColorDistance.h"

// Pixels of a stretch.
inline constexpr int kStillRun = 16;

// The most levels every channel of a pixel may move with the pixel still within `distance` of
// where it was, whatever the channels: a stretch all within it has not changed.
constexpr int StillLevels(int distance) {
    int levels = 0;
    while (levels < 255 && ColorDistance(levels + 1, levels + 1, levels + 1) <= distance) ++levels;
    return levels;
}

// Whether no byte of the kStillRun pixels of three bytes at `a` differs from `b`'s by more than
// `levels` (0 to 255): sixteen bytes at a time, each byte's distance both ways saturated.
inline bool RunWithin(const uint8_t* a, const uint8_t* b, int levels) {
#ifdef __SSE2__
    __m128i farthest = _mm_setzero_si128();
    for (int i = 0; i < 3 * kStillRun; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        farthest = _mm_max_epu8(farthest, _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x)));
    }
    const __m128i beyond = _mm_subs_epu8(farthest, _mm_set1_epi8(static_cast<char>(levels)));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(beyond, _mm_setzero_si128())) == 0xFFFF;
#else
    int farthest = 0;
    for (int i = 0; i < 3 * kStillRun; ++i) farthest = std::max(farthest, std::abs(a[i] - b[i]));
    return farthest <= levels;
#endif
}

// The pixels of a stretch of kStillRun pixels of three bytes (blue, green, red) at `a` that lie
// farther than `distance` (weighted colour distance) from `b`'s: bit i for pixel i. Each pixel's
// mark goes to `marks` too, 1 where it moved, 0 where it stayed.
uint32_t MarkMovedPixels(const uint8_t* a, const uint8_t* b, int distance, uint8_t* marks);
