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

std::string ByteSizeText(int64_t bytes) {
    constexpr double kKilo = 1024;
    char text[32];
    const double value = static_cast<double>(std::max<int64_t>(bytes, 0));
    if (value < kKilo)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else if (value < kKilo * kKilo)
        std::snprintf(text, sizeof text, "%.1f KB", value / kKilo);
    else if (value < kKilo * kKilo * kKilo)
        std::snprintf(text, sizeof text, "%.2f MB", value / (kKilo * kKilo));
    else
        std::snprintf(text, sizeof text, "%.2f GB", value / (kKilo * kKilo * kKilo));
    return text;
}
