#pragma once
// How a video stream's pictures are shown, as players and the ffmpeg tool show them: which
// stream of a file is the one shown, which way its pictures are turned or flipped, and the size
// they take with square pixels. The decoder draws its pictures this way, the conversion's
// filter graph turns them before it scales them, and the front ends size the GIF from it.
#include <string>
#include <utility>
#include <vector>

#include "engine/entrypoints/avformat.h"

// The turn that brings a stream's stored pictures upright. Read from the stream's display
// matrix as the ffmpeg tool reads it by default; without one from a "rotate" tag (degrees
// clockwise), which older muxers left instead.
struct TPictureTurn {
    // The transpose filter's directions, -1 for none. Each swaps width and height.
    enum TTranspose { tpNone = -1, tpCClockFlip = 0, tpClock = 1, tpCClock = 2, tpClockFlip = 3 };

    int Transpose = tpNone;
    bool HFlip = false;  // mirrored left to right
    bool VFlip = false;  // upside down
    // Degrees clockwise of a turn that is no quarter turn (the rotate filter, which keeps the
    // frame's size); 0 otherwise.
    double Angle = 0;

    bool None() const { return Transpose == tpNone && !HFlip && !VFlip && Angle == 0; }
    bool SwapsSides() const { return Transpose != tpNone; }
};

// The turn of the stream's pictures (none for a stream that is not turned).
TPictureTurn PictureTurnOf(const AVStream& stream);
// The turn a "rotate" tag of `degrees` clockwise asks for.
TPictureTurn TurnOfRotateTag(double degrees);

// The filters that make the turn, in order: name and arguments ("transpose", "clock").
std::vector<std::pair<std::string, std::string>> TurnFilters(const TPictureTurn& turn);

// What the turn does, for a reader: "rotated 90 degrees clockwise", "mirrored left to right",
// ...; empty for none.
std::string TurnText(const TPictureTurn& turn);

// The stream's sample aspect ratio: the stream's own, else its codec's; 0/1 when neither is set.
AVRational SampleAspectOf(const AVStream& stream);

struct TShownSize {
    int Width = 0;
    int Height = 0;
};
// The size a `width` x `height` picture takes upright with square pixels: a sample aspect ratio
// above 1 widens it, below 1 makes it taller (no side loses pixels; within 1% of 1 it counts as
// 1), and a turn that swaps the sides swaps them. Sides are at least 1 and at most 65535 (0 x 0 for
// a picture without area).
TShownSize ShownSizeOf(int width, int height, AVRational sampleAspect, const TPictureTurn& turn);
// The same for the stream's coded picture.
TShownSize ShownSizeOf(const AVStream& stream);

// The video stream players show: the first one marked default, else the first that is not an
// attached picture (a cover), else the first; -1 when the file has no video stream.
int DefaultVideoStreamOf(const AVFormatContext& context);

// The video stream players show has no picture size or pixel format yet: probing ended before
// its first picture, as it does when the video starts long after the other streams.
bool VideoNotProbed(const AVFormatContext& context);
// Lets probing read up to a minute (64 MiB) of the file: set before the file is opened again
// for a video stream that was not probed.
void ProbeLonger(AVFormatContext& context);
