#include "app/core/FitLadder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kUnknownRate = 25;
constexpr double kHighestRate = 50;
constexpr double kWidthStep = 0.97;
// Frames last whole hundredths of a second: rate 100 / d.
constexpr int kHundredths = 100;

// The rate the choices give the GIF.
double RateOf(const TConversionChoices& choices, const TClipFacts& facts) {
    if (choices.FrameRate > 0) return std::min(choices.FrameRate, kHighestRate);
    if (facts.FrameRate > 0) return std::min(facts.FrameRate, kHighestRate);
    return kUnknownRate;
}

// The frame size the choices give the GIF.
TFrameSize SizeOf(const TConversionChoices& choices, const TClipFacts& facts) {
    const TTaskOptionTexts texts = BuildTaskOptions(choices, facts);
    if (texts.Width > 0 && texts.Height > 0) return {texts.Width, texts.Height};
    const double aspect = facts.AspectRatio;
    if (aspect > 0 && facts.Height > 0)
        return {std::max(1, static_cast<int>(std::lround(facts.Height * aspect))), facts.Height};
    return {facts.Width, facts.Height};
}

void AddQualityRungs(std::vector<TFitSettings>& rungs) {
    TFitSettings rung = rungs.back();
    rung.AsChosen = false;
    for (int quality = rung.Quality - 1; quality >= kFitQualityFloor; --quality) {
        rung.Quality = quality;
        rungs.push_back(rung);
    }
}

void AddRateRungs(std::vector<TFitSettings>& rungs) {
    TFitSettings rung = rungs.back();
    rung.AsChosen = false;
    const double top = rung.FrameRate;
    for (int hundredths = 2; hundredths <= kHundredths / kFitRateFloor; ++hundredths) {
        const double rate = static_cast<double>(kHundredths) / hundredths;
        if (rate >= top - 1e-9) continue;
        rung.FrameRate = rate;
        rungs.push_back(rung);
    }
}

void AddWidthRungs(std::vector<TFitSettings>& rungs) {
    TFitSettings rung = rungs.back();
    rung.AsChosen = false;
    const TFrameSize top = rung.Size;
    if (top.Width <= kFitWidthFloor || top.Height <= 0) return;
    const double aspect = static_cast<double>(top.Width) / top.Height;
    for (double width = top.Width * kWidthStep;; width *= kWidthStep) {
        const int side = std::max(kFitWidthFloor, static_cast<int>(std::lround(width)));
        rung.Size = {side, std::max(1, static_cast<int>(std::lround(side / aspect)))};
        rungs.push_back(rung);
        if (side == kFitWidthFloor) break;
    }
}

}  // namespace

std::vector<TFitSettings> FitLadder(const TConversionChoices& choices, const TClipFacts& facts) {
    TFitSettings top;
    top.Quality = choices.Quality;
    top.FrameRate = RateOf(choices, facts);
    top.Size = SizeOf(choices, facts);
    top.AsChosen = true;
    std::vector<TFitSettings> rungs{top};
    if (choices.Colors == TFrameColors::Fitted) AddQualityRungs(rungs);
    AddRateRungs(rungs);
    AddWidthRungs(rungs);
    return rungs;
}

TConversionChoices ChoicesAt(const TConversionChoices& choices, const TFitSettings& rung) {
    if (rung.AsChosen) return choices;
    TConversionChoices at = choices;
    at.Quality = rung.Quality;
    at.FrameRate = rung.FrameRate;
    at.Size = rung.Size;
    at.KeepAspect = false;
    at.AspectWidth = 0;
    return at;
}
