#include "cli/OptionTable.h"

#include <algorithm>

#include "app/core/DitherNames.h"
#include "app/core/OptionStrings.h"
#include "app/core/FrameLimits.h"

namespace {

constexpr double kLargestLoopCount = 0xFFFF;

std::vector<TCliOption> MakeOptionTable() {
    using K = TOptionKind;
    return {
        {.Short = "-s",
         .Long = "--size",
         .Argument = "SIZE",
         .Kind = K::FrameSize,
         .Target = &TConvertSettings::Size,
         .Excludes = {"--width"},
         .Help = "Frame size of the GIF: WxH (320x240) or a name of the options dialog's size "
                 "list (qqvga, qvga, vga, svga, hd480, hd720, hd1080, cif, ...). Default: the "
                 "clip's own size as shown (upright, square pixels). Time, memory and file size "
                 "grow with the number of pixels (half the width and height: about half the "
                 "bytes)."},
        {.Long = "--width",
         .Argument = "W",
         .Kind = K::Integer,
         .Target = &TConvertSettings::AspectWidth,
         .Range = TValueRange{.Lowest = 1, .Highest = kLargestFrameSide},
         .Help = "Frame width W; the height follows the clip's aspect ratio. Costs as --size."},
        {.Long = "--start",
         .Argument = "TIME",
         .Kind = K::Time,
         .Target = &TConvertSettings::Start,
         .Help = "Start of the piece to convert: seconds (2.5) or [hh:]mm:ss[.fff] (1:02.5). "
                 "Default: the clip's beginning. The clip is sought there, so nothing before "
                 "it is decoded."},
        {.Long = "--end",
         .Argument = "TIME",
         .Kind = K::Time,
         .Target = &TConvertSettings::End,
         .Help = "End of the piece to convert, counted from the clip's beginning like --start. "
                 "Default: the clip's end. Every second left out saves its share of time and "
                 "file size."},
        {.Short = "-r",
         .Long = "--fps",
         .Argument = "N",
         .Kind = K::Number,
         .Target = &TConvertSettings::FrameRate,
         .Range = TValueRange{.Lowest = 0, .Highest = kHighestFrameRate, .AboveLowest = true},
         .Noun = "a frame rate",
         .Help = "Output frame rate, up to 50 (12.5 allowed): the GIF has the clip's length "
                 "times N frames. Default: the clip's own rate, at most 50, since viewers play "
                 "faster GIFs slower. Fewer frames per second give a smaller file and a faster "
                 "conversion, and less fluid motion."},
        {.Long = "--loop",
         .Argument = "N",
         .Kind = K::Integer,
         .Target = &TFrameTimingOptions::LoopCount,
         .Range = TValueRange{.Lowest = 0, .Highest = kLargestLoopCount},
         .Excludes = {"--no-loop", "--no-timing"},
         .Help = "Times the animation repeats: 0 (the default) repeats it for ever. Costs 19 "
                 "bytes."},
        {.Long = "--no-loop",
         .Kind = K::SwitchOff,
         .Target = &TFrameTimingOptions::Looping,
         .Excludes = {"--no-timing"},
         .Help = "No looping extension: viewers play the animation once."},
        {.Long = "--no-timing",
         .Kind = K::SwitchOff,
         .Target = &TFrameTimingOptions::Enabled,
         .Help = "Frames without delays and no looping extension: the plain document, which "
                 "viewers play at a speed of their own. Saves 8 bytes a frame."},
        // The names in the order of TFrameColors.
        {.Long = "--colors",
         .Argument = "NAME",
         .Kind = K::Choice,
         .Target = &TConvertSettings::Colors,
         .Choices = {"fitted", "octree"},
         .Help = "How each frame's colours are chosen. fitted (the default): a palette fitted to "
                 "what changed since the frame before, and only the pixels that changed stored, "
                 "the rest left to what the viewer already shows: the smallest files for what "
                 "they show, without bands on smooth gradients. octree: every frame whole, "
                 "reduced to 236 octree colours and the 20 system colours; a little faster, "
                 "files several times larger on still backgrounds."},
        {.Long = "--quality",
         .Argument = "N",
         .Kind = K::Integer,
         .Target = &TConvertSettings::Quality,
         .Range = TValueRange{.Lowest = kMinQuality, .Highest = kMaxQuality},
         .Noun = "a quality",
         .Help = "How closely the fitted colours follow the clip (default: 90). Lower values "
                 "leave more of what the viewer already shows in place and let the coder "
                 "trade exactness for bytes: smaller files, more visible error. 100 draws every "
                 "change exactly. No effect with --colors octree."},
        // The names in the order of TDitherChoice, as the options dialog lists them.
        {.Long = "--dither",
         .Argument = "NAME",
         .Kind = K::Choice,
         .Target = &TConvertSettings::Dither,
         .Choices = DitherNames(),
         .Help = "Dithering, for gradients the palette cannot hold. pattern (the default): a "
                 "fixed pattern on smooth areas only, which stays still from frame to frame; "
                 "the octree colours take none instead. The error diffusion engines "
                 "(floyd-steinberg ... burkes) spread each pixel's error to its neighbours: "
                 "smoother gradients, but with the fitted colours only among the pixels that "
                 "changed, and a larger file (some 40% with the octree colours on the demo "
                 "clip), since scattered pixels compress badly. none: no dithering."},
        {.Long = "--optimize",
         .Target = &TConvertSettings::Optimize,
         .Help = "With --colors octree: crop every frame to what changed since the frame "
                 "before and make unchanged pixels transparent, keeping a frame whole where "
                 "that codes smaller: the same pictures in a much smaller file when the "
                 "background stands still. The fitted colours always do this."},
        {.Long = "--max-size",
         .Argument = "SIZE",
         .Kind = K::ByteSize,
         .Target = &TConvertSettings::SizeLimit,
         .Help = "Largest size of the GIF: bytes, or with K or M in units of 1024 (8M, 500K). "
                 "The GIF is never larger, and as good as fits: --quality, --fps and the frame "
                 "size become the most it uses, and it lowers the quality (down to 75), then "
                 "the rate (down to 10 fps), then the size (down to 120 pixels wide, the "
                 "aspect ratio kept) as far as needed. It chooses from short samples of the "
                 "clip, so it costs a few seconds more; when a GIF still comes out larger it is "
                 "made again, smaller. When even that cannot fit, nothing is written and it "
                 "says how much of the clip would fit."},
        {.Long = "--estimate",
         .Target = &TConvertSettings::EstimateOnly,
         .Help = "Print the estimated size of each GIF (and, with --max-size, the settings "
                 "chosen to fit) without converting: from short samples of the clip, within "
                 "some 15% of the size the conversion gives."},
        {.Short = "-o",
         .Long = "--output",
         .Argument = "PATH",
         .Kind = K::Path,
         .Target = &TConvertSettings::Output,
         .Limit = TOptionLimit::OneFile,
         .Help = "Write the GIF to PATH instead of beside the input (one FILE only). A file that "
                 "exists is never replaced: the conversion fails instead."},
        {.Short = "-q",
         .Long = "--quiet",
         .Target = &TConvertSettings::Quiet,
         .Excludes = {"--verbose"},
         .Help = "Print nothing but errors: no progress bar, no \"saved\" line."},
        {.Short = "-v",
         .Long = "--verbose",
         .Target = &TConvertSettings::Verbose,
         .Help = "Print the engine's log lines (\"#thread.level: message\") and the frame sink's "
                 "lines, as the desktop program's log shows them, on stderr."},
        {.Short = "-h",
         .Long = "--help",
         .Action = TCliAction::Help,
         .Help = "Print this text and exit."},
        {.Long = "--version", .Action = TCliAction::Version, .Help = "Print the version and exit."},
        {.Long = "--info",
         .Argument = "FILE",
         .Kind = K::Path,
         .Target = &TCliRequest::InfoFile,
         .Action = TCliAction::Info,
         .Limit = TOptionLimit::Alone,
         .Help = "Print what the engine reads from FILE (alone on the command line), with how "
                 "players show each video stream: turned upright, at the size of square "
                 "pixels."},
    };
}

bool Lists(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::span<const TCliOption> CliOptionTable() {
    static const std::vector<TCliOption> table = MakeOptionTable();
    return table;
}

const TCliOption* FindCliOption(const std::string& name) {
    for (const TCliOption& row : CliOptionTable())
        if (name == row.Long || (!row.Short.empty() && name == row.Short)) return &row;
    return nullptr;
}

bool OptionsExclude(const TCliOption& a, const TCliOption& b) {
    return Lists(a.Excludes, b.Long) || Lists(b.Excludes, a.Long);
}
