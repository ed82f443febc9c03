#pragma once
// What a conversion needs to know of its clip before it starts, and the option strings of its
// task made from the user's choices: the one builder both front ends use.
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/ConversionChoices.h"

class TFFDecoder;

// The clip as the decoder reads it.
struct TClipFacts {
    bool HasVideo = false;
    // The video stream to convert when the file has several: the one players show; -1 when it
    // has one (the engine takes that).
    int VideoStream = -1;
    // The picture as players show it: turned upright, pixel aspect applied.
    int Width = 0;
    int Height = 0;
    // The conversion gives pictures of that size unless asked for another (their pixels are
    // square); otherwise they are scaled to it.
    bool SquarePixels = true;
    double AspectRatio = 0;  // width to height as shown, 0 unknown
    double FrameRate = 0;    // 0 unknown
    int64_t Duration = 0;    // microseconds, 0 unknown
    // Where the file's index says its video's key frames are (microseconds from its start),
    // in order; empty when it does not say. Decoding from there costs least.
    std::vector<int64_t> KeyFrames;
    // The video's codec ("h264"; empty unknown) and its bits per second (the stream's, else the
    // whole file's; 0 unknown): what decoding it costs.
    std::string Codec;
    int64_t BitRate = 0;
};

// The facts of the file the decoder has open.
TClipFacts ClipFactsOf(TFFDecoder& decoder);

// Opens `fileName` with the decoder, reads its facts and closes it again. False with the
// decoder's message in `error` when the file cannot be read.
bool ReadClipFacts(TFFDecoder& decoder, const std::string& fileName, TClipFacts& facts,
                   std::string& error);

// The task's option strings and what the progress measures against.
struct TTaskOptionTexts {
    std::string Input;   // " -ss S" for a start
    std::string Output;  // " -f rawrgb -c:v rawvideo -pix_fmt bgr24" and the rest
    int64_t Length = 0;  // microseconds of the clip to convert, 0 unknown
    int Width = 0;       // the frame size asked for (0 x 0: the clip's own)
    int Height = 0;
};

// The frames keep their own times while timing is on (a variable-rate clip stays as it is);
// the rate is the chosen one, else the clip's up to 50 a second.
TTaskOptionTexts BuildTaskOptions(const TConversionChoices& choices, const TClipFacts& facts);

// The largest size of the picture's aspect ratio (`aspect`, width to height; 0 unknown) that
// fits into `box`: the box itself when the aspect is unknown. Sides are at least 1.
TFrameSize FitIntoBox(const TFrameSize& box, double aspect);
