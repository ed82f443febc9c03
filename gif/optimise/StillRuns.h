#pragma once
// Consecutive pictures of a clip often repeat whole stretches of a row byte for byte (a still
// background, a flat area the codec skipped): loops that look for the pixels that changed pass
// over such a stretch with one comparison instead of a distance a pixel.
#include <cstdint>
#include <cstring>

// Pixels of a stretch.
inline constexpr int kStillRun = 16;

// Whether the kStillRun pixels of three bytes at `a` and `b` are the same.
inline bool SameRun(const uint8_t* a, const uint8_t* b) {
    return std::memcmp(a, b, 3 * kStillRun) == 0;
}
