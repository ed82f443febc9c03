#include "gif/optimise/ColorQuality.h"

#include <algorithm>

#include "gif/colour/ColorDistance.h"

namespace {

// A weighted distance of `levels` in every channel.
constexpr int LevelsApart(int levels) { return ColorDistance(levels, levels, levels); }

}  // namespace

TColorQuality ColorQualityFor(int quality) {
    TColorQuality knobs;
    knobs.Quality = std::clamp(quality, kMinQuality, kMaxQuality);
    const int loss = kMaxQuality - knobs.Quality;  // 0 (best) to 99
    knobs.MaxColors = 255;
    knobs.NewColorDistance = LevelsApart(6);
    // Noise of a level or two survives from one decoded frame to the next even where nothing
    // moves; at quality 90 differences of about 3 levels are kept.
    knobs.KeepDistance = LevelsApart(loss * 3 / 10);
    knobs.SpeckleDistance = 4 * knobs.KeepDistance;
    knobs.DitherMinGap = LevelsApart(6);
    knobs.DitherMaxContrast = 6;
    knobs.DitherMaxGap = LevelsApart(24);
    knobs.LossyDistance = LevelsApart(loss * 2 / 5);
    return knobs;
}
