#pragma once
// What the command line of clipgif-cli asks for: a conversion of files with its settings, the
// help, the version or the information text of one file. The options that fill it are the rows
// of OptionTable.h; the help is made from them in OptionHelp.h.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/FrameColors.h"
#include "app/core/FrameDelays.h"
#include "gif/core/GIFTypes.h"

// A command line that cannot be carried out; the message says why.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A frame size in pixels; 0 x 0 keeps the clip's own size.
struct TFrameSize {
    int Width = 0;
    int Height = 0;
};

// How the files are converted.
struct TConvertSettings {
    static constexpr int64_t kUnsetTime = -1;

    std::vector<std::string> Files;
    // --size: WxH (a preset's size once read).
    TFrameSize Size;
    // --width: the width, the height following the clip's aspect ratio; 0 when not given.
    int AspectWidth = 0;
    // --start and --end in microseconds from the clip's beginning; kUnsetTime when not given.
    int64_t Start = kUnsetTime;
    int64_t End = kUnsetTime;
    // --fps; 0 keeps the clip's rate (at most 50 frames per second).
    double FrameRate = 0;
    TFrameTimingOptions Timing;
    TErrorDiffusion Dither = edNearest;
    // --colors: fitted palettes storing only what changed (the default), or the octree road.
    TFrameColors Colors = TFrameColors::Fitted;
    // --quality: how closely the fitted colours follow the clip, 1 to 100.
    int Quality = kDefaultQuality;
    std::string Output;  // -o; empty: beside each input
    bool Optimize = false;
    bool Quiet = false;
    bool Verbose = false;
};

enum class TCliAction { Convert, Help, Version, Info };

struct TCliRequest {
    TCliAction Action = TCliAction::Convert;
    TConvertSettings Settings;
    std::string InfoFile;  // --info FILE
};

// Reads the arguments (without the program's name). Fails with TUsageError for unknown
// options, missing or wrong values, no FILE, an option with more FILEs than it allows, an end
// not after the start, and options that exclude each other.
TCliRequest ParseCommandLine(const std::vector<std::string>& args);
