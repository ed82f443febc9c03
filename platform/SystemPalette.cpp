#include "platform/SystemPalette.h"

#include <algorithm>

namespace {

TPaletteEntry Entry(uint8_t r, uint8_t g, uint8_t b) {
    TPaletteEntry e;
    e.peRed = r;
    e.peGreen = g;
    e.peBlue = b;
    return e;
}

TPalette MakeSystemPalette20() {
    return {Entry(0, 0, 0),       Entry(128, 0, 0),     Entry(0, 128, 0),     Entry(128, 128, 0),
            Entry(0, 0, 128),     Entry(128, 0, 128),   Entry(0, 128, 128),   Entry(192, 192, 192),
            Entry(192, 220, 192), Entry(166, 202, 240), Entry(255, 251, 240), Entry(160, 160, 164),
            Entry(128, 128, 128), Entry(255, 0, 0),     Entry(0, 255, 0),     Entry(255, 255, 0),
            Entry(0, 0, 255),     Entry(255, 0, 255),   Entry(0, 255, 255),   Entry(255, 255, 255)};
}

TPalette MakeHalftonePalette() {
    const TPalette& sys = SystemPalette20();
    TPalette pal(sys.begin(), sys.begin() + 10);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                pal.push_back(Entry(static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                                    static_cast<uint8_t>(51 * b)));
    // Greys strictly between black and white, evenly spaced.
    for (int i = 1; i <= 20; ++i) {
        const auto level = static_cast<uint8_t>((i * 255 + 10) / 21);
        pal.push_back(Entry(level, level, level));
    }
    pal.insert(pal.end(), sys.begin() + 10, sys.end());
    return pal;
}

TPalette MakeVGAPalette16() {
    const TPalette& sys = SystemPalette20();
    TPalette pal(sys.begin(), sys.begin() + 8);
    pal.insert(pal.end(), sys.begin() + 12, sys.end());
    return pal;
}

int Square(int v) { return v * v; }

}  // namespace

const TPalette& SystemPalette20() {
    static const TPalette palette = MakeSystemPalette20();
    return palette;
}

const TPalette& HalftonePalette() {
    static const TPalette palette = MakeHalftonePalette();
    return palette;
}

const TPalette& VGAPalette16() {
    static const TPalette palette = MakeVGAPalette16();
    return palette;
}

int GetNearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b) {
    int best = -1;
    int bestDistance = INT32_MAX;
    const int n = static_cast<int>(std::min<size_t>(palette.size(), 256));
    for (int i = 0; i < n; ++i) {
        const TPaletteEntry& e = palette[i];
        const int d = Square(e.peRed - r) + Square(e.peGreen - g) + Square(e.peBlue - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}
