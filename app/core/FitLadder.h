#pragma once
// The ways down from what the user chose to a smaller GIF, as a ladder of settings: every rung
// makes the GIF smaller than the one above it. First the quality goes down, then the frame rate,
// then the frame size, each to a floor below which the GIF would be worse than a smaller one:
//   - quality not below kFitQualityFloor: lower, flat areas band and moving edges smear;
//   - rate not below 10 frames a second: slower, motion stutters; the rates between are those
//     whose frames last whole hundredths (25, 20, 16.7, 14.3, 12.5, 11.1, 10), so every frame of
//     the GIF shows for the same time;
//   - width not below 120 pixels (or the chosen width when that is less), in steps of 3 % (about
//     5 % of the bytes: coarser steps left a fifth of a limit unused near the floor), the
//     aspect ratio kept.
// The user's quality, rate and size are the top rung: upper bounds, never exceeded.
#include <vector>

#include "app/core/ConversionChoices.h"
#include "app/core/TaskOptions.h"

inline constexpr int kFitQualityFloor = 75;
inline constexpr double kFitRateFloor = 10;
inline constexpr int kFitWidthFloor = 120;

// One rung: the settings a conversion then uses.
struct TFitSettings {
    int Quality = 0;
    double FrameRate = 0;  // frames a second the GIF gets
    TFrameSize Size;       // the GIF's frame size
    // The top rung: the user's choices as they are (so a GIF that fits is the same file as
    // without a limit).
    bool AsChosen = false;

    bool operator==(const TFitSettings&) const = default;
};

// The rungs, the user's choices first. The quality steps only where it counts (the fitted
// colours). A clip whose size or rate is unknown gets 25 frames a second and its stored size.
std::vector<TFitSettings> FitLadder(const TConversionChoices& choices, const TClipFacts& facts);

// The choices a conversion at `rung` takes.
TConversionChoices ChoicesAt(const TConversionChoices& choices, const TFitSettings& rung);
