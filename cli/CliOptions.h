#pragma once
// What the command line of clipgif-cli asks for: a conversion of files with its settings, the
// help, the version or the information text of one file. The options that fill it are the rows
// of OptionTable.h; the help is made from them in OptionHelp.h.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/ConversionChoices.h"

// A command line that cannot be carried out; the message says why.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the files are converted: the choices the desktop program offers too (--size as Size, a
// preset's size once read; --width as AspectWidth; --start and --end; --fps; the timing options;
// --dither; --optimize), and what only the command line has.
struct TConvertSettings : TConversionChoices {
    std::vector<std::string> Files;
    std::string Output;  // -o; empty: beside each input
    bool Quiet = false;
    bool Verbose = false;
    // --estimate: the GIF's size is estimated and printed instead of converting.
    bool EstimateOnly = false;
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
