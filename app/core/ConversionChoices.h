#pragma once
// What a user chooses for a conversion, the same for the desktop program and the command line:
// both front ends fill these choices, make the task's option strings from them with
// BuildTaskOptions (TaskOptions.h) and set up the frame sink with PrepareSink, so the same clip
// and the same choices give the same GIF whichever front end made it.
#include <cstdint>
#include <string>

#include "app/core/DitherNames.h"
#include "app/core/FrameColors.h"
#include "app/core/FrameDelays.h"
#include "gif/core/GIFTypes.h"

class TFrameSink;

// A frame size in pixels; 0 x 0 keeps the clip's own size.
struct TFrameSize {
    int Width = 0;
    int Height = 0;

    bool operator==(const TFrameSize&) const = default;
};

struct TConversionChoices {
    static constexpr int64_t kUnsetTime = -1;

    // The frame size (0 x 0: the clip's own).
    TFrameSize Size;
    // The size is a box the picture fits into with its aspect ratio kept, instead of the
    // frame's exact size.
    bool KeepAspect = false;
    // A width, the height following the clip's aspect ratio; 0 when not chosen. Wins over Size.
    int AspectWidth = 0;
    // The piece to convert, in microseconds from the clip's beginning (where the input is
    // sought); kUnsetTime when not chosen. A start of 0 seeks nothing.
    int64_t Start = kUnsetTime;
    int64_t End = kUnsetTime;
    // The output frame rate; 0 keeps the clip's own (at most 50 frames a second).
    double FrameRate = 0;
    TFrameTimingOptions Timing;
    // Pattern dithering by default (the octree colours then dither not at all).
    TDitherChoice Dither = dcPattern;
    bool Optimize = false;
    // How the frames' colours are chosen, and the fitted colours' quality (1 to 100).
    TFrameColors Colors = TFrameColors::Fitted;
    int Quality = kDefaultQuality;
    // The most bytes the GIF may take (0: no limit). With a limit, the size, rate and quality
    // above are the most the conversion uses: it lowers them as far as the GIF needs to fit
    // (FitLadder.h).
    int64_t SizeLimit = 0;
    // The folder the GIF goes to; empty: beside the clip.
    std::string OutputFolder;
};

// The name the frame sink names its GIF beside: the clip itself, or a file of the clip's name
// in the chosen folder, so the GIF there gets the clip's name and never replaces a file.
std::string NamingBase(const std::string& clipFileName, const std::string& outputFolder);

// Sets the sink up for the conversion of `clipFileName` with `choices`: where the GIF goes,
// its timing, colours, dithering and optimisation.
void PrepareSink(TFrameSink& sink, const TConversionChoices& choices,
                 const std::string& clipFileName);
