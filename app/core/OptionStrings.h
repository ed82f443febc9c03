#pragma once
// The option strings of a conversion as the options dialog and the command line build them:
// the input's seek and the output's raw BGR24 frames, duration, frame rate and scaling. Numbers
// are written with "." as the decimal separator whatever the locale, so the option parser always
// reads them back.
#include <cstdint>
#include <string>

// The piece of the clip to keep. Times in microseconds; unset start and first time are the
// largest 64-bit value, an unset end the smallest, so an unset cut never applies.
struct TClipCut {
    static constexpr int64_t kUnsetStart = INT64_MAX;
    static constexpr int64_t kUnsetEnd = INT64_MIN;
    static constexpr int64_t kUnsetFirst = INT64_MAX;

    bool Checked = false;  // "Cut Clip" enabled and checked
    int64_t StartTime = kUnsetStart;
    int64_t EndTime = kUnsetEnd;
    int64_t FirstTime = kUnsetFirst;  // time of the first frame of the file

    bool Active() const { return Checked && StartTime < EndTime; }
    // Where the input is to be sought: the start, counted from the first frame when the file's
    // first frame has a negative time.
    int64_t Seek() const;
};

// The highest output frame rate: GIF viewers show frames of less than 2 hundredths of a
// second for 10 hundredths.
constexpr double kHighestFrameRate = 50;

// What the output options are made of.
struct TOutputChoice {
    // "WxH" (from the size list, "320x240") or empty for the clip's own size.
    std::string FrameSize;
    // The file has a video stream: only then is it scaled.
    bool HasVideo = true;
    // The video stream to convert (" -map 0:N"): the one players show, for a file with several
    // (of which the engine would take the largest); -1 leaves the choice to the engine.
    int VideoStream = -1;
    TClipCut Cut;
    // The clip's frame rate (0 when unknown) and a rate asked for (0 when none; at most
    // kHighestFrameRate is taken).
    double ClipFrameRate = 0;
    double FrameRate = 0;
    // A clip faster than this gets this output rate (GIF viewers slow down shorter delays);
    // 0 leaves every clip at its own rate.
    double MaxFrameRate = kHighestFrameRate;
    // Frames keep their own times (" -vsync vfr") instead of being repeated or dropped to a
    // constant rate: a gap in a variable-rate clip stays one frame shown for as long, and only
    // frames closer together than the output rate allows are dropped. For a document whose
    // delays follow the frames' timestamps; without delays every frame shows alike, and the
    // constant rate (the default) is what keeps the motion even.
    bool VariableFrameRate = false;
    // Frames in red, green, blue order (" -pix_fmt rgb24") instead of blue, green, red: the
    // scaler's conversion to that order is the one picture files and other tools get, so the
    // fitted colours start from the same picture as they do. The octree road keeps BGR24.
    bool RedFirst = false;
};

// " -ss S" (S the seek in seconds) when the cut applies, else "".
std::string BuildInputOptionsText(const TClipCut& cut);
// The output frame rate the choice gives: the rate asked for (at most kHighestFrameRate), else
// the maximum for a clip faster than that; 0 for the clip's own rate.
double OutputFrameRate(const TOutputChoice& choice);
// " -f rawrgb -c:v rawvideo -pix_fmt bgr24" (rgb24 with RedFirst), " -map 0:N" for a chosen
// stream, then " -vsync vfr" when asked, " -r R" for an output frame rate, " -t L" when the cut
// applies (its length in seconds), and for a file with video the filters: "fps=R" for an output
// frame rate, "scale=W:H" for a chosen size (" -vf \"fps=R,scale=W:H\"").
std::string BuildOutputOptionsText(const TOutputChoice& choice);

// The size part of an item of the size list: the text up to the first blank when that blank
// comes after the first character ("320x240 - qvga" gives "320x240"), else "".
std::string FrameSizeOfItem(const std::string& itemText);

// A number in the general format: the shortest form with at most 15 significant digits, no
// trailing zeros, no decimal point for whole numbers (2.5, 10, 0.04), exponent notation
// ("1E-6", "1.5E20") below 0.00001 and from 1E15 on; always "." for the decimal point.
std::string FormatGeneral(double value);
// Microseconds as seconds in the general format, but never in exponent notation (times below
// 0.00001 s are written out, "0.000001"), as the time options read them.
std::string SecondsText(int64_t microseconds);
