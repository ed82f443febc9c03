#include "cli/CliOptions.h"

#include <strings.h>

#include <charconv>
#include <initializer_list>
#include <set>
#include <sstream>

#include "app/core/FrameSizes.h"
#include "app/core/TimeText.h"

namespace {

// What one row of the table does with the request; `value` is empty for a switch.
using TApply = void (*)(TCliRequest& request, const std::string& value);

struct TOptionRow {
    const char* Short;     // "-s", or "" when there is none
    const char* Long;      // "--size"
    const char* Argument;  // "SIZE", or "" for a switch
    const char* Help;      // what it does and what it costs
    TApply Apply;
};

constexpr int kLargestSide = 0xFFFF;
constexpr int kLargestLoopCount = 0xFFFF;
constexpr double kHighestFrameRate = 100;

const char* const kDitherNames[] = {"none",   "floyd-steinberg", "stucki", "sierra",
                                    "jajuni", "steve-arche",     "burkes"};

[[noreturn]] void Refuse(const std::string& option, const std::string& expected,
                         const std::string& value) {
    throw TUsageError(option + " takes " + expected + ", not \"" + value + "\"");
}

int WholeNumber(const std::string& option, const std::string& value, int lowest, int highest) {
    int number = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (value.empty() || error != std::errc() || stop != end || number < lowest || number > highest)
        Refuse(option,
               "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest),
               value);
    return number;
}

int64_t TimeValue(const std::string& option, const std::string& value) {
    int64_t microseconds = 0;
    if (!ParseTimeText(value, microseconds))
        Refuse(option, "seconds (2.5) or [hh:]mm:ss[.fff] (1:02.5)", value);
    return microseconds;
}

void ApplySize(TCliRequest& request, const std::string& value) {
    TConvertSettings& settings = request.Settings;
    if (!ParseFrameSize(value, settings.Width, settings.Height))
        Refuse("--size", "WxH or a size name (qvga, hd720, ...)", value);
}

void ApplyWidth(TCliRequest& request, const std::string& value) {
    request.Settings.AspectWidth = WholeNumber("--width", value, 1, kLargestSide);
}

void ApplyStart(TCliRequest& request, const std::string& value) {
    request.Settings.Start = TimeValue("--start", value);
}

void ApplyEnd(TCliRequest& request, const std::string& value) {
    request.Settings.End = TimeValue("--end", value);
}

void ApplyFrameRate(TCliRequest& request, const std::string& value) {
    double rate = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, rate);
    if (value.empty() || error != std::errc() || stop != end || !(rate > 0) ||
        rate > kHighestFrameRate)
        Refuse("--fps", "a frame rate above 0 and up to 100", value);
    request.Settings.FrameRate = rate;
}

void ApplyLoop(TCliRequest& request, const std::string& value) {
    request.Settings.Timing.LoopCount = WholeNumber("--loop", value, 0, kLargestLoopCount);
}

void ApplyNoLoop(TCliRequest& request, const std::string&) {
    request.Settings.Timing.Looping = false;
}

void ApplyNoTiming(TCliRequest& request, const std::string&) {
    request.Settings.Timing.Enabled = false;
}

void ApplyDither(TCliRequest& request, const std::string& value) {
    for (size_t i = 0; i < std::size(kDitherNames); ++i) {
        if (strcasecmp(kDitherNames[i], value.c_str()) == 0) {
            request.Settings.Dither = static_cast<TErrorDiffusion>(i);
            return;
        }
    }
    std::string names;
    for (const char* name : kDitherNames) names += std::string(names.empty() ? "" : ", ") + name;
    Refuse("--dither", "one of " + names, value);
}

void ApplyOutput(TCliRequest& request, const std::string& value) {
    if (value.empty()) Refuse("--output", "a file name", value);
    request.Settings.Output = value;
}

void ApplyOptimize(TCliRequest& request, const std::string&) { request.Settings.Optimize = true; }
void ApplyQuiet(TCliRequest& request, const std::string&) { request.Settings.Quiet = true; }
void ApplyVerbose(TCliRequest& request, const std::string&) { request.Settings.Verbose = true; }
void ApplyHelp(TCliRequest& request, const std::string&) { request.Action = TCliAction::Help; }
void ApplyVersion(TCliRequest& request, const std::string&) {
    request.Action = TCliAction::Version;
}
void ApplyInfo(TCliRequest& request, const std::string& value) {
    request.Action = TCliAction::Info;
    request.InfoFile = value;
}

const TOptionRow kOptions[] = {
    {"-s", "--size", "SIZE",
     "Frame size of the GIF: WxH (320x240) or a name of the options dialog's size list (qqvga, "
     "qvga, vga, svga, hd480, hd720, hd1080, cif, ...). Default: the clip's own size. Time, "
     "memory and file size grow with the number of pixels (half the width and height: about "
     "half the bytes).",
     ApplySize},
    {"", "--width", "W",
     "Frame width W; the height follows the clip's aspect ratio. Costs as --size.", ApplyWidth},
    {"", "--start", "TIME",
     "Start of the piece to convert: seconds (2.5) or [hh:]mm:ss[.fff] (1:02.5). Default: the "
     "clip's beginning. The clip is sought there, so nothing before it is decoded.",
     ApplyStart},
    {"", "--end", "TIME",
     "End of the piece to convert, counted from the clip's beginning like --start. Default: the "
     "clip's end. Every second left out saves its share of time and file size.",
     ApplyEnd},
    {"-r", "--fps", "N",
     "Output frame rate (up to 100; 12.5 allowed). Default: the clip's own rate, at most 50, "
     "since viewers play faster GIFs slower. Fewer frames per second give a smaller file and a "
     "faster conversion, and less fluid motion.",
     ApplyFrameRate},
    {"", "--loop", "N",
     "Times the animation repeats: 0 (the default) repeats it for ever. Costs 19 bytes.",
     ApplyLoop},
    {"", "--no-loop", "", "No looping extension: viewers play the animation once.", ApplyNoLoop},
    {"", "--no-timing", "",
     "Frames without delays and no looping extension: the plain document, which viewers play at "
     "a speed of their own. Saves 8 bytes a frame.",
     ApplyNoTiming},
    {"", "--dither", "NAME",
     "Error diffusion when the colours are reduced to 256: none (the default), "
     "floyd-steinberg, stucki, sierra, jajuni, steve-arche or burkes. Smoother gradients, but "
     "reducing takes about three times as long and the file grows (by some 40% on the demo "
     "clip), since scattered pixels compress badly.",
     ApplyDither},
    {"", "--optimize", "",
     "Before saving, crop every frame to what changed and make unchanged pixels transparent: "
     "the same pictures in a much smaller file when the background stands still. Costs a pass "
     "over all frames before the file is written.",
     ApplyOptimize},
    {"-o", "--output", "PATH",
     "Write the GIF to PATH instead of beside the input (one FILE only). A file that exists is "
     "never replaced: the conversion fails instead.",
     ApplyOutput},
    {"-q", "--quiet", "", "Print nothing but errors: no progress bar, no \"saved\" line.",
     ApplyQuiet},
    {"-v", "--verbose", "",
     "Print the engine's log lines (\"#thread.level: message\") and the frame sink's lines, as "
     "the desktop program's log shows them, on stderr.",
     ApplyVerbose},
    {"-h", "--help", "", "Print this text and exit.", ApplyHelp},
    {"", "--version", "", "Print the version and exit.", ApplyVersion},
    {"", "--info", "FILE", "Print what the engine reads from FILE (alone on the command line).",
     ApplyInfo},
};

const TOptionRow* FindRow(const std::string& name) {
    for (const TOptionRow& row : kOptions)
        if (name == row.Long || (row.Short[0] != '\0' && name == row.Short)) return &row;
    return nullptr;
}

// Options that make no sense together, and what a conversion needs.
void CheckConversion(const TCliRequest& request, const std::set<std::string>& seen) {
    const TConvertSettings& settings = request.Settings;
    const auto both = [&](const char* a, const char* b) {
        if (seen.count(a) && seen.count(b))
            throw TUsageError(std::string(a) + " and " + b + " exclude each other");
    };
    both("--size", "--width");
    both("--loop", "--no-loop");
    both("--loop", "--no-timing");
    both("--no-loop", "--no-timing");
    both("--quiet", "--verbose");
    if (settings.Files.empty()) throw TUsageError("no FILE to convert");
    if (!settings.Output.empty() && settings.Files.size() > 1)
        throw TUsageError("--output takes one FILE only");
    if (settings.End != TConvertSettings::kUnsetTime &&
        settings.End <= std::max<int64_t>(settings.Start, 0))
        throw TUsageError("--end must come after --start");
}

// Lines of at most `width` characters, broken at blanks.
std::vector<std::string> Wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word;
    std::string line;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Paragraphs wrapped to `width` columns, with an empty line between them.
std::string Paragraphs(std::initializer_list<const char*> paragraphs, size_t width) {
    std::string text;
    for (const char* paragraph : paragraphs) {
        if (!text.empty()) text += "\n";
        for (const std::string& line : Wrap(paragraph, width)) text += line + "\n";
    }
    return text;
}

}  // namespace

TCliRequest ParseCommandLine(const std::vector<std::string>& args) {
    TCliRequest request;
    std::set<std::string> seen;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            request.Settings.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const TOptionRow* row = FindRow(name);
        if (!row) throw TUsageError("unknown option \"" + name + "\"");
        std::string value;
        if (row->Argument[0] == '\0') {
            if (equals != std::string::npos) throw TUsageError(name + " takes no value");
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw TUsageError(name + " needs " + row->Argument);
        }
        row->Apply(request, value);
        seen.insert(row->Long);
        if (request.Action == TCliAction::Help || request.Action == TCliAction::Version)
            return request;
    }
    if (request.Action == TCliAction::Info) {
        if (seen.size() != 1 || !request.Settings.Files.empty())
            throw TUsageError("--info takes one FILE and nothing else");
        return request;
    }
    CheckConversion(request, seen);
    return request;
}

std::string UsageText() {
    return "usage: clipgif-cli [OPTIONS] FILE...\n"
           "       clipgif-cli --info FILE\n"
           "Try \"clipgif-cli --help\" for the options.\n";
}

std::string HelpText() {
    constexpr size_t kTextColumn = 22;
    constexpr size_t kLineWidth = 79;
    std::string text = "usage: clipgif-cli [OPTIONS] FILE...\n       clipgif-cli --info FILE\n\n";
    text += Paragraphs({"Converts each video FILE, one after another, into an animated GIF that "
                        "plays like the clip. The GIF goes beside its input as NAME_(new).gif, or "
                        "NAME_(new_1).gif, ... when that name is taken; no existing file is ever "
                        "replaced."},
                       kLineWidth);
    text += "\nOptions:\n";
    for (const TOptionRow& row : kOptions) {
        std::string head = "  ";
        head += row.Short[0] != '\0' ? std::string(row.Short) + ", " : "    ";
        head += row.Long;
        if (row.Argument[0] != '\0') head += std::string(" ") + row.Argument;
        if (head.size() + 2 > kTextColumn) {
            text += head + "\n";
            head.clear();
        }
        for (const std::string& line : Wrap(row.Help, kLineWidth - kTextColumn)) {
            text += head + std::string(kTextColumn - head.size(), ' ') + line + "\n";
            head.clear();
        }
    }
    text += "\n";
    text += Paragraphs(
        {"On a terminal a progress bar shows the share of the clip done, the frames, frames per "
         "second and the time left. Each saved GIF gets one line on stdout: its path, frame "
         "count, size in pixels and bytes. Ctrl-C stops the conversion and saves the frames "
         "converted so far.",
         "Exit status: 0 when every FILE was converted; 1 when any failed (the reason on stderr, "
         "no file left for it); 2 for a wrong command line; 130 when Ctrl-C stopped it."},
        kLineWidth);
    return text;
}

std::vector<std::string> DitherNames() {
    return std::vector<std::string>(std::begin(kDitherNames), std::end(kDitherNames));
}
