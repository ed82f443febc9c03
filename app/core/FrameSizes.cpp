#include "app/core/FrameSizes.h"

#include <strings.h>

#include <charconv>

namespace {

constexpr int kLargestSide = 0xFFFF;

constexpr TFrameSizePreset kPresets[] = {
    {"Auto - Original", "", 0, 0},
    {"128x96 - sqcif", "sqcif", 128, 96},
    {"176x144 - qcif", "qcif", 176, 144},
    {"352x288 - cif", "cif", 352, 288},
    {"704x576 - 4cif", "4cif", 704, 576},
    {"160x120 - qqvga", "qqvga", 160, 120},
    {"320x240 - qvga", "qvga", 320, 240},
    {"640x480 - vga", "vga", 640, 480},
    {"800x600 - svga", "svga", 800, 600},
    {"1024x768 - xga", "xga", 1024, 768},
    {"1600x1200 - uxga", "uxga", 1600, 1200},
    {"2048x1536 - qxga", "qxga", 2048, 1536},
    {"1280x1024 - sxga", "sxga", 1280, 1024},
    {"2560x2048 - qsxga", "qsxga", 2560, 2048},
    {"5120x4096 - hsxga", "hsxga", 5120, 4096},
    {"852x480 - wvga", "wvga", 852, 480},
    {"1366x768 - wxga", "wxga", 1366, 768},
    {"1600x1024 - wsxga", "wsxga", 1600, 1024},
    {"1920x1200 - wuxga", "wuxga", 1920, 1200},
    {"2560x1600 - woxga", "woxga", 2560, 1600},
    {"3200x2048 - wqsxga", "wqsxga", 3200, 2048},
    {"3840x2400 - wquxga", "wquxga", 3840, 2400},
    {"6400x4096 - whsxga", "whsxga", 6400, 4096},
    {"7680x4800 - whuxga", "whuxga", 7680, 4800},
    {"320x200 - cga", "cga", 320, 200},
    {"640x350 - ega", "ega", 640, 350},
    {"852x480 - hd480", "hd480", 852, 480},
    {"1280x720 - hd720", "hd720", 1280, 720},
    {"1920x1080 - hd1080", "hd1080", 1920, 1080},
};

// A side: decimal digits only, 1 to kLargestSide.
bool ParseSide(const char* begin, const char* end, int& side) {
    const auto [stop, error] = std::from_chars(begin, end, side);
    return error == std::errc() && stop == end && side >= 1 && side <= kLargestSide;
}

}  // namespace

std::span<const TFrameSizePreset> FrameSizePresets() { return kPresets; }

std::string FrameSizeItemText(const TFrameSizePreset& preset, bool portrait) {
    if (!portrait || preset.Width <= 0) return preset.ItemText;
    return std::to_string(preset.Height) + "x" + std::to_string(preset.Width) + " - " + preset.Name;
}

const TFrameSizePreset* FindFrameSizePreset(const std::string& name) {
    if (name.empty()) return nullptr;
    for (const TFrameSizePreset& preset : kPresets) {
        if (strcasecmp(preset.Name, name.c_str()) == 0) return &preset;
    }
    return nullptr;
}

bool ParseFrameSize(const std::string& text, int& width, int& height) {
    if (const TFrameSizePreset* preset = FindFrameSizePreset(text)) {
        width = preset->Width;
        height = preset->Height;
        return true;
    }
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    const char* begin = text.data();
    int w = 0;
    int h = 0;
    if (!ParseSide(begin, begin + x, w) || !ParseSide(begin + x + 1, begin + text.size(), h))
        return false;
    width = w;
    height = h;
    return true;
}
