#pragma once
// How far apart two colours look: a weighted sum of the squared channel differences. The eye
// tells greens apart best and blues worst, so green counts most; the weights stay close enough
// to one another that no channel's error is ignored.
#include "gif/core/GIFTypes.h"

struct TColorWeights {
    int Red;
    int Green;
    int Blue;
};

inline constexpr TColorWeights kPerceptualWeights{3, 4, 2};

constexpr int ColorDistance(int dr, int dg, int db) {
    return kPerceptualWeights.Red * dr * dr + kPerceptualWeights.Green * dg * dg +
           kPerceptualWeights.Blue * db * db;
}

constexpr int ColorDistance(const TGIFColor& a, int r, int g, int b) {
    return ColorDistance(a.Red - r, a.Green - g, a.Blue - b);
}

constexpr int ColorDistance(const TGIFColor& a, const TGIFColor& b) {
    return ColorDistance(a, b.Red, b.Green, b.Blue);
}

// The largest distance: every channel 255 apart.
inline constexpr int kMaxColorDistance = ColorDistance(255, 255, 255);
