#include "gif/colour/ColorLookup.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr size_t kMaxEntries = 256;
constexpr int kInverseCells = 32 * 32 * 32;

TPalette FirstEntries(const TPalette& palette) {
    return TPalette(palette.begin(), palette.begin() + std::min(palette.size(), kMaxEntries));
}

// The match for an entry; index -1 (an empty palette) gives black.
TColorMatch MatchOf(const TPalette& entries, int index) {
    if (index < 0) return {0, 0, 0, 0};
    const TPaletteEntry& e = entries[index];
    return {index, e.peRed, e.peGreen, e.peBlue};
}

int Luminance(uint8_t red, uint8_t green, uint8_t blue) {
    return 77 * red + 150 * green + 29 * blue;
}

}  // namespace

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min(palette.size(), kMaxEntries))),
      entries_(FirstEntries(palette)),
      inverse_(kInverseCells, -1) {
    for (int i = 0; i < colors_; ++i) {
        const TPaletteEntry& e = entries_[i];
        int16_t& cell = inverse_[Cell(e.peRed, e.peGreen, e.peBlue)];
        if (cell < 0) cell = static_cast<int16_t>(i);
    }
}

int TFastColorLookup::NearestEntry(uint8_t red, uint8_t green, uint8_t blue) const {
    int best = -1;
    int bestDistance = 3 * 256;
    for (int i = 0; i < colors_; ++i) {
        const TPaletteEntry& e = entries_[i];
        const int d =
            std::abs(red - e.peRed) + std::abs(green - e.peGreen) + std::abs(blue - e.peBlue);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

TColorMatch TFastColorLookup::FindIndex(uint8_t red, uint8_t green, uint8_t blue) {
    int16_t& cell = inverse_[Cell(red, green, blue)];
    if (cell < 0) cell = static_cast<int16_t>(NearestEntry(red, green, blue));
    return MatchOf(entries_, cell);
}

// Only the first 256 entries are used: a larger index could not be stored in an 8-bit image.
TSlowColorLookup::TSlowColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min(palette.size(), kMaxEntries))),
      entries_(FirstEntries(palette)),
      nearest_(entries_) {}

TColorMatch TSlowColorLookup::FindIndex(uint8_t red, uint8_t green, uint8_t blue) {
    return MatchOf(entries_, nearest_.Find(red, green, blue));
}

TColorMatch TNetscapeColorLookup::FindIndex(uint8_t red, uint8_t green, uint8_t blue) {
    const int r = (red + 3) / 51;
    const int g = (green + 3) / 51;
    const int b = (blue + 3) / 51;
    return {36 * r + 6 * g + b, static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
            static_cast<uint8_t>(51 * b)};
}

TColorMatch TGrayScaleLookup::FindIndex(uint8_t red, uint8_t green, uint8_t blue) {
    const auto y = static_cast<uint8_t>(Luminance(red, green, blue) >> 8);
    return {y, y, y, y};
}

TColorMatch TMonochromeLookup::FindIndex(uint8_t red, uint8_t green, uint8_t blue) {
    if (Luminance(red, green, blue) > 32512) return {1, 255, 255, 255};
    return {0, 0, 0, 0};
}
