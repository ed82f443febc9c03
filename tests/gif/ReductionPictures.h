#pragma once
// Small pictures for the colour reduction and dithering suites.
#include <cstdint>
#include <random>

#include "platform/Bitmap.h"

namespace pictures {

inline TPaletteEntry Rgb(int r, int g, int b) {
    TPaletteEntry e;
    e.peRed = static_cast<uint8_t>(r);
    e.peGreen = static_cast<uint8_t>(g);
    e.peBlue = static_cast<uint8_t>(b);
    return e;
}

// A 24-bit picture of one colour.
inline TBitmap Uniform(int width, int height, TPaletteEntry c) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, RGBColor(c.peRed, c.peGreen, c.peBlue));
    return bitmap;
}

// A 24-bit picture of random colours.
inline TBitmap Noise(int width, int height, unsigned seed) {
    TBitmap bitmap(width, height, pf24bit);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int i = 0; i < 3 * width; ++i) row[i] = static_cast<uint8_t>(random() & 0xFF);
    }
    return bitmap;
}

// The colour of a pixel of a 24-bit picture.
inline TPaletteEntry At(TBitmap& bitmap, int x, int y) {
    const uint8_t* p = bitmap.ScanLine(y) + 3 * x;
    return Rgb(p[2], p[1], p[0]);
}

inline int IndexAt(TBitmap& bitmap, int x, int y) { return bitmap.ScanLine(y)[x]; }

}  // namespace pictures
