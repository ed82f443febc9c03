#pragma once
// The command line of clipgif-cli read into what it asks for: a conversion of files with its
// settings, the help, the version or the information text of one file. Every option is one row
// of a table (CliOptions.cpp), from which the help text is made too.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/FrameDelays.h"
#include "gif/core/GIFTypes.h"

// A command line that cannot be carried out; the message says why.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the files are converted.
struct TConvertSettings {
    static constexpr int64_t kUnsetTime = -1;

    std::vector<std::string> Files;
    // --size: WxH (a preset's size once read); 0 x 0 keeps the clip's own size.
    int Width = 0;
    int Height = 0;
    // --width: the width, the height following the clip's aspect ratio; 0 when not given.
    int AspectWidth = 0;
    // --start and --end in microseconds from the clip's beginning; kUnsetTime when not given.
    int64_t Start = kUnsetTime;
    int64_t End = kUnsetTime;
    // --fps; 0 keeps the clip's rate (at most 50 frames per second).
    double FrameRate = 0;
    TFrameTimingOptions Timing;
    TErrorDiffusion Dither = edNearest;
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
// options, missing or wrong values, no FILE, -o with more than one FILE, an end not after the
// start, and options that exclude each other.
TCliRequest ParseCommandLine(const std::vector<std::string>& args);

// The text of --help: the synopsis and every option of the table with what it does and costs.
std::string HelpText();
// The short reminder printed with a usage error.
std::string UsageText();

// The names --dither takes, in the order of the library's engines ("none" first).
std::vector<std::string> DitherNames();
