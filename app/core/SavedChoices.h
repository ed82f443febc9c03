#pragma once
// The options dialog's choices as the settings file keeps them from one run of the program to
// the next (section OUTPUT), with the defaults a new user gets. Values that cannot be read
// (a missing key, a wrong word, a number out of range) give the default.
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/ConversionChoices.h"
#include "app/core/Settings.h"

// How often the animation plays.
enum class TLoopChoice { Forever, Once, Repeat };

struct TSavedChoices {
    // The name of an item of the size list ("qvga"); empty: the clip's own size.
    std::string FrameSizeName;
    // The chosen size is a box the picture fits into.
    bool KeepAspect = true;
    // A width with the height following (wins over the size list); 0 when not chosen.
    int Width = 0;
    // 0: the clip's own rate.
    double FrameRate = 0;
    // Frames timed like the clip, and the animation looping as chosen.
    bool PlayAtClipSpeed = true;
    TLoopChoice Loop = TLoopChoice::Forever;
    // Times the animation repeats with TLoopChoice::Repeat (1 to 65535); kept for it only.
    int Repeats = 1;
    TDitherChoice Dither = dcPattern;
    bool Optimize = false;
    // How the frames' colours are chosen, and the fitted colours' quality.
    TFrameColors Colors = TFrameColors::Fitted;
    int Quality = kDefaultQuality;
    // The most bytes the GIF may take; 0: no limit.
    int64_t SizeLimit = 0;
    // The GIF goes to OutputFolder instead of beside the clip.
    bool SaveToFolder = false;
    std::string OutputFolder;

    bool operator==(const TSavedChoices&) const = default;
};

// The section the choices are kept in, and its keys in the order of SavedChoicesOf's values.
extern const char* const kSavedChoicesSection;
const std::vector<std::string>& SavedChoicesKeys();

// The choices from the values of SavedChoicesKeys(), in order.
TSavedChoices SavedChoicesOf(const std::vector<std::string>& values);
// The keys and values that keep the choices. A folder that cannot be stored is not kept.
std::vector<TSettingsValue> SettingsValuesOf(const TSavedChoices& choices);

// From the settings file; the defaults when the file cannot be read.
TSavedChoices ReadSavedChoices(const std::string& settingsFile);
// Into the settings file (WriteSettingsSection, whose errors it raises).
void WriteSavedChoices(const TSavedChoices& choices, const std::string& settingsFile);

// The conversion choices that stand for the saved ones (the piece of the clip is not among
// them): the size list's size, the width, timing and looping, dithering, optimising, colours and
// quality, the size limit, the folder.
TConversionChoices ConversionChoicesOf(const TSavedChoices& saved);
