#include "app/core/ProgressTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::optional<double> ProgressFraction(const TProgressState& state) {
    if (state.Length <= 0) return std::nullopt;
    return std::clamp(static_cast<double>(state.Done) / static_cast<double>(state.Length), 0.0,
                      1.0);
}

std::optional<double> SecondsLeft(const TProgressState& state) {
    const std::optional<double> fraction = ProgressFraction(state);
    if (!fraction || *fraction <= 0 || state.Frames <= 0) return std::nullopt;
    return state.Elapsed * (1 - *fraction) / *fraction;
}

std::string ClockText(double seconds) {
    const long total = std::lround(std::max(seconds, 0.0));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}
