#include "app/core/FitTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/core/ByteSize.h"

namespace {

constexpr double kMicroseconds = 1e6;

std::string SizeText(const TFrameSize& size) {
    return std::to_string(size.Width) + "x" + std::to_string(size.Height);
}

// "15", "16.7".
std::string RateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", rate);
    std::string result = text;
    if (result.size() > 2 && result.compare(result.size() - 2, 2, ".0") == 0)
        result.resize(result.size() - 2);
    return result;
}

}  // namespace

std::string FitSettingsText(const TFitSettings& rung, TFrameColors colors) {
    std::string text = SizeText(rung.Size) + ", " + RateText(rung.FrameRate) + " fps";
    if (colors == TFrameColors::Fitted) text += ", quality " + std::to_string(rung.Quality);
    return text;
}

std::string FittedText(int64_t limit, const TFitSettings& rung, TFrameColors colors) {
    return "fitted to " + RoundedSizeText(limit) + ": " + FitSettingsText(rung, colors);
}

std::string EstimateText(int64_t bytes) { return "about " + RoundedSizeText(bytes); }

std::string CannotFitText(int64_t pieceLength, int64_t limit, const TSizeEstimate& lowest,
                          const TFitSettings& lowestRung) {
    const double seconds = static_cast<double>(pieceLength) / kMicroseconds;
    std::string text = "ClipGIF cannot fit " +
                       (pieceLength > 0 ? SecondsForReading(seconds) : std::string("this clip")) +
                       " into " + RoundedSizeText(limit) + "; ";
    const double frame = lowestRung.FrameRate > 0 ? 1 / lowestRung.FrameRate : 0;
    // The first frame and the header come once; the rest grows with the time.
    const double first = static_cast<double>(lowest.FirstFrameBytes);
    const double rest = static_cast<double>(lowest.Bytes) - first;
    double fits = 0;
    if (static_cast<double>(limit) > first && rest > 0 && seconds > 0)
        fits = frame + (seconds - frame) * (static_cast<double>(limit) - first) / rest;
    if (fits < std::max(frame, 0.05))
        return text + "not even one frame at " + SizeText(lowestRung.Size) + " would fit";
    return text + "about " + SecondsForReading(fits) + " at " + SizeText(lowestRung.Size) +
           " would fit";
}

std::string SecondsForReading(double seconds) {
    char text[32];
    if (seconds >= 9.95 || std::fabs(seconds - std::round(seconds)) < 0.05)
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    else
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}
