#include "app/core/SavedChoices.h"

#include <charconv>
#include <cstdlib>
#include <exception>

#include "app/core/DitherNames.h"
#include "app/core/FrameSizes.h"
#include "app/core/OptionStrings.h"

const char* const kSavedChoicesSection = "OUTPUT";

namespace {

constexpr int kLargestSide = 0xFFFF;
constexpr int kLargestRepeats = 0xFFFF;
constexpr double kHighestFrameRate = 50;

enum TKey {
    kFrameSize,
    kKeepAspect,
    kWidth,
    kFrameRate,
    kPlayAtClipSpeed,
    kLoop,
    kDither,
    kOptimize,
    kSaveTo,
    kOutputFolder,
    kColors,
    kQuality,
    kSizeLimit,
};

const char* const kForever = "forever";
const char* const kOnce = "once";
const char* const kBeside = "beside";
const char* const kFolder = "folder";
const char* const kColorNames[] = {"fitted", "octree"};

bool FlagOf(const std::string& text, bool fallback) {
    if (text == "1") return true;
    if (text == "0") return false;
    return fallback;
}

const char* FlagText(bool on) { return on ? "1" : "0"; }

// A whole number from `lowest` to `highest`; `fallback` for anything else.
int WholeOf(const std::string& text, int lowest, int highest, int fallback) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return fallback;
    return value >= lowest && value <= highest ? value : fallback;
}

// Bytes as the settings file keeps them, 0 (no limit) for anything that is not a whole number
// above 0.
int64_t BytesOf(const std::string& text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value > 0 ? value : 0;
}

// A rate from 0 to the highest offered; the default for anything else. Read with "." whatever
// the locale.
double RateOf(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value >= 0 && value <= kHighestFrameRate ? value : 0;
}

void ReadLoop(const std::string& text, TSavedChoices& choices) {
    if (text == kOnce) {
        choices.Loop = TLoopChoice::Once;
    } else if (const int repeats = WholeOf(text, 1, kLargestRepeats, 0); repeats > 0) {
        choices.Loop = TLoopChoice::Repeat;
        choices.Repeats = repeats;
    }
}

std::string LoopText(const TSavedChoices& choices) {
    switch (choices.Loop) {
        case TLoopChoice::Once:
            return kOnce;
        case TLoopChoice::Repeat:
            return std::to_string(choices.Repeats);
        case TLoopChoice::Forever:
            break;
    }
    return kForever;
}

}  // namespace

const std::vector<std::string>& SavedChoicesKeys() {
    static const std::vector<std::string> keys = {
        "FrameSize", "KeepAspectRatio", "Width",    "FrameRate", "PlayAtClipSpeed",
        "Loop",      "Dither",          "Optimize", "SaveTo",    "OutputFolder",
        "Colors",    "Quality",         "SizeLimit"};
    return keys;
}

TSavedChoices SavedChoicesOf(const std::vector<std::string>& values) {
    TSavedChoices choices;
    if (values.size() != SavedChoicesKeys().size()) return choices;
    if (FindFrameSizePreset(values[kFrameSize])) choices.FrameSizeName = values[kFrameSize];
    choices.KeepAspect = FlagOf(values[kKeepAspect], choices.KeepAspect);
    choices.Width = WholeOf(values[kWidth], 0, kLargestSide, 0);
    choices.FrameRate = RateOf(values[kFrameRate]);
    choices.PlayAtClipSpeed = FlagOf(values[kPlayAtClipSpeed], choices.PlayAtClipSpeed);
    ReadLoop(values[kLoop], choices);
    FindDither(values[kDither], choices.Dither);
    choices.Optimize = FlagOf(values[kOptimize], choices.Optimize);
    choices.OutputFolder = values[kOutputFolder];
    choices.SaveToFolder = values[kSaveTo] == kFolder && !choices.OutputFolder.empty();
    if (values[kColors] == kColorNames[1]) choices.Colors = TFrameColors::Octree;
    choices.Quality = WholeOf(values[kQuality], kMinQuality, kMaxQuality, choices.Quality);
    choices.SizeLimit = BytesOf(values[kSizeLimit]);
    return choices;
}

std::vector<TSettingsValue> SettingsValuesOf(const TSavedChoices& choices) {
    const std::vector<std::string>& keys = SavedChoicesKeys();
    const std::string folder =
        StorableSettingsText(choices.OutputFolder) ? choices.OutputFolder : std::string();
    const std::string values[] = {
        choices.FrameSizeName,
        FlagText(choices.KeepAspect),
        std::to_string(choices.Width),
        FormatGeneral(choices.FrameRate),
        FlagText(choices.PlayAtClipSpeed),
        LoopText(choices),
        DitherName(choices.Dither),
        FlagText(choices.Optimize),
        choices.SaveToFolder && !folder.empty() ? kFolder : kBeside,
        folder,
        kColorNames[static_cast<int>(choices.Colors)],
        std::to_string(choices.Quality),
        std::to_string(choices.SizeLimit),
    };
    std::vector<TSettingsValue> settings;
    for (size_t i = 0; i < keys.size(); ++i) settings.emplace_back(keys[i], values[i]);
    return settings;
}

TSavedChoices ReadSavedChoices(const std::string& settingsFile) {
    try {
        return SavedChoicesOf(
            ReadSettingsSection(kSavedChoicesSection, SavedChoicesKeys(), settingsFile));
    } catch (const std::exception&) {
        return TSavedChoices();
    }
}

void WriteSavedChoices(const TSavedChoices& choices, const std::string& settingsFile) {
    WriteSettingsSection(kSavedChoicesSection, SettingsValuesOf(choices), settingsFile);
}

TConversionChoices ConversionChoicesOf(const TSavedChoices& saved) {
    TConversionChoices choices;
    if (const TFrameSizePreset* preset = FindFrameSizePreset(saved.FrameSizeName))
        choices.Size = {preset->Width, preset->Height};
    choices.KeepAspect = saved.KeepAspect;
    choices.AspectWidth = saved.Width;
    choices.FrameRate = saved.FrameRate;
    choices.Timing.Enabled = saved.PlayAtClipSpeed;
    choices.Timing.Looping = saved.Loop != TLoopChoice::Once;
    choices.Timing.LoopCount = saved.Loop == TLoopChoice::Repeat ? saved.Repeats : 0;
    choices.Dither = saved.Dither;
    choices.Optimize = saved.Optimize;
    choices.Colors = saved.Colors;
    choices.Quality = saved.Quality;
    choices.SizeLimit = saved.SizeLimit;
    if (saved.SaveToFolder) choices.OutputFolder = saved.OutputFolder;
    return choices;
}
