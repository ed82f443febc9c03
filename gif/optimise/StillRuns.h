#pragma once
// Consecutive pictures of a clip often repeat whole stretches of a row byte for byte, or within
// a level or two of noise (a still background, a flat area the codec skipped): loops that look
// for the pixels that changed pass over such a stretch with one test instead of a distance a
// pixel.
#include <cstdint>
#include <cstdlib>

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
// `levels` (a loop of fixed length over bytes, which the compiler runs on vectors).
inline bool RunWithin(const uint8_t* a, const uint8_t* b, int levels) {
    uint8_t farthest = 0;
    for (int i = 0; i < 3 * kStillRun; ++i) {
        const uint8_t difference = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
        farthest = difference > farthest ? difference : farthest;
    }
    return farthest <= levels;
}
