#pragma once
// The five frame output formats ("rawh263", "rawh264", "rawmjpeg", "rawyuv", "rawrgb"): muxers
// whose header, packet and trailer callbacks hand everything to a TFrameOutputAdapter. The
// engine keeps them in its own list, looked up before libavformat's muxers.
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

// Lists the five formats, each unless a format of the same name is listed already (by us or by
// libavformat). Needs libavformat bound ("Assertion failure" otherwise).
void RegisterFrameOutputFormats();
// Empties the list (when libavformat is unloaded); registering again lists them anew.
void UnregisterFrameOutputFormats();

// The names listed, in order.
std::vector<std::string> FrameOutputFormatNames();

// A listed frame output format by exact name, or null.
const AVOutputFormat* FindFrameOutputFormat(const char* name);
bool IsFrameOutputFormat(const AVOutputFormat* format);

// The output format for an output: a listed frame output format named `shortName`, else
// libavformat's guess from the name, file name and MIME type (any may be null).
const AVOutputFormat* GuessOutputFormat(const char* shortName, const char* fileName,
                                        const char* mimeType);

// An event handler's error does not pass through libavformat: the callback logs it and fails,
// and the libav call returns AVERROR_EXTERNAL. After such a failure (also of the trailer) this
// raises the handler's error again, once. Does nothing when no handler failed.
void RaiseFrameOutputError(AVFormatContext* context);
