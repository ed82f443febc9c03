#include "app/core/LostFrames.h"

#include <cmath>

#include "app/core/OptionStrings.h"

namespace {

constexpr int64_t kMicrosecondsPerHundredth = 10000;

// The frames the piece would have had, 0 when that is not known.
long FramesExpected(const TVideoLosses& losses) {
    if (losses.Expected <= 0 || !(losses.FrameRate > 0)) return 0;
    return std::lround(static_cast<double>(losses.Expected) / 1e6 * losses.FrameRate);
}

// Seconds to the hundredth: "0.44", "2".
std::string Seconds(int64_t microseconds) {
    const int64_t hundredths =
        (microseconds + kMicrosecondsPerHundredth / 2) / kMicrosecondsPerHundredth;
    return SecondsText(hundredths * kMicrosecondsPerHundredth);
}

}  // namespace

std::string LostFramesText(const TVideoLosses& losses) {
    if (!losses.Any()) return "";
    std::string text = std::to_string(losses.Frames);
    if (const long expected = FramesExpected(losses))
        text += " of about " + std::to_string(expected);
    text += losses.Frames == 1 ? " frame: " : " frames: ";
    text += "the clip ";
    if (losses.ReadUntil >= 0)
        text += "could not be read after " + Seconds(losses.ReadUntil) + " s";
    if (losses.ReadUntil >= 0 && losses.Damaged > 0) text += " and ";
    if (losses.Damaged > 0)
        text += "is damaged in " + std::to_string(losses.Damaged) +
                (losses.Damaged == 1 ? " place" : " places");
    return text;
}
