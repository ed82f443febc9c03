#pragma once
// What a conversion needs to know of its clip before it starts, and the option strings of its
// task, built with the options dialog's builders.
#include <cstdint>
#include <string>

#include "cli/CliOptions.h"

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
};

// Opens `fileName` with the decoder, reads its facts and closes it again. False with the
// decoder's message in `error` when the file cannot be read.
bool ReadClipFacts(TFFDecoder& decoder, const std::string& fileName, TClipFacts& facts,
                   std::string& error);

// The task's option strings and what the progress measures against.
struct TTaskOptionTexts {
    std::string Input;   // " -ss S" for --start
    std::string Output;  // " -f rawrgb -c:v rawvideo -pix_fmt bgr24" and the rest
    int64_t Length = 0;  // microseconds of the clip to convert, 0 unknown
    int Width = 0;       // the frame size asked for (0 x 0: the clip's own)
    int Height = 0;
};

TTaskOptionTexts BuildTaskOptions(const TConvertSettings& settings, const TClipFacts& facts);
