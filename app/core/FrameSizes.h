#pragma once
// The output frame sizes offered by the options dialog's list and by the command line's --size.
#include <span>
#include <string>

struct TFrameSizePreset {
    const char* ItemText;  // as the list shows it: "320x240 - qvga"
    const char* Name;      // "qvga"; "" for the first item
    int Width;             // 0 x 0 for the first item, the clip's own size
    int Height;
};

// The 29 items of the list, "Auto - Original" first.
std::span<const TFrameSizePreset> FrameSizePresets();

// The item text of a preset as the list offers it for a picture shown upright in portrait
// (taller than wide): its size turned ("240x320 - qvga"); for a landscape picture, and for
// the first item, its own text.
std::string FrameSizeItemText(const TFrameSizePreset& preset, bool portrait);

// A preset by name, ignoring case ("qvga", "HD720"); null for an unknown name.
const TFrameSizePreset* FindFrameSizePreset(const std::string& name);

// "WxH" (positive whole numbers up to 65535, the largest GIF side) or a preset's name into a
// width and height; false for anything else.
bool ParseFrameSize(const std::string& text, int& width, int& height);
