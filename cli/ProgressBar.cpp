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

std::string ProgressBarText(const TProgressState& state, int columns) {
    const double fps = state.Elapsed > 0 ? state.Frames / state.Elapsed : 0;
    std::string counts = Format("%6.0f frames", state.Frames) + Format(" %5.1f fps", fps);
    if (state.Length <= 0) return counts.substr(0, std::max(columns, 0));

    const double fraction = ProgressFraction(state).value_or(0);
    std::string tail = counts;
    if (const std::optional<double> left = SecondsLeft(state))
        tail += "  " + ClockText(*left) + " left";
    const std::string percent = Format("%3.0f%% ", std::floor(fraction * 100));
    const int room = columns - static_cast<int>(percent.size() + tail.size()) - 3;
    std::string line = percent;
    if (room >= kNarrowestBar) line += Bar(fraction, std::min(room, kWidestBar)) + " ";
    line += tail;
    return line.substr(0, std::max(columns, 0));
}
