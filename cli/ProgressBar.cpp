#include "cli/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kNarrowestBar = 10;
constexpr int kWidestBar = 30;

std::string Format(const char* format, double a, double b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Bar(double fraction, int width) {
    const int filled = static_cast<int>(std::floor(fraction * width));
    return "[" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
}

}  // namespace

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

std::string ProgressBarText(const TProgressState& state, int columns) {
    const double fps = state.Elapsed > 0 ? state.Frames / state.Elapsed : 0;
    std::string counts = Format("%6.0f frames", state.Frames) + Format(" %5.1f fps", fps);
    if (state.Length <= 0) return counts.substr(0, std::max(columns, 0));

    const double fraction =
        std::clamp(static_cast<double>(state.Done) / static_cast<double>(state.Length), 0.0, 1.0);
    std::string tail = counts;
    if (fraction > 0 && state.Frames > 0)
        tail += "  " + ClockText(state.Elapsed * (1 - fraction) / fraction) + " left";
    const std::string percent = Format("%3.0f%% ", std::floor(fraction * 100));
    const int room = columns - static_cast<int>(percent.size() + tail.size()) - 3;
    std::string line = percent;
    if (room >= kNarrowestBar) line += Bar(fraction, std::min(room, kWidestBar)) + " ";
    line += tail;
    return line.substr(0, std::max(columns, 0));
}
