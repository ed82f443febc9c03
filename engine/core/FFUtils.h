#pragma once
// Report helpers of the engine: error texts, time and size texts, codec and picture names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"

// name + ": " + the text of an FFmpeg or system error code; unknown codes give
// "Error number <code> occurred".
std::string ErrorText(const std::string& name, int code);

// "Video", "Audio", "Data", "Subtitle", "Attachment"; "Unknown" for anything else.
std::string MediaTypeName(int mediaType);

// "HH:MM:SS.mmm" of a time in microseconds ("-" in front of a negative time); "N/A" for
// AV_NOPTS_VALUE.
std::string FormatTimestamp(int64_t microseconds);
// The same for a stream timestamp in the given time base.
std::string FormatStreamTimestamp(int64_t timestamp, AVRational timeBase);

// Microseconds of one frame at a frame rate; 40000 (25 frames per second) when the rate has a
// zero part.
int64_t FrameDuration(AVRational frameRate);

// "name(long name)" of the encoder or decoder for the context's codec, with fall-backs to the
// context's codec and to its codec tag.
std::string CodecDisplayName(const AVCodecContext* context, bool encoder);

// "Intra", "Predicted", ... for a picture type; "Unknown" for others.
std::string PictureTypeName(int pictureType);

// The value of a key (the whole key, in any case) or the default.
std::string DictValue(const AVDictionary* dict, const char* key, const std::string& defaultValue);

// Reads a whole file through the C library into a buffer from av_malloc (free it with av_free),
// with a zero byte appended; *size counts that byte. Returns 0, or AVERROR_EOF on a short read,
// AVERROR(EIO) on a read error, AVERROR(ENOMEM) when no buffer can be had and -1 when the file
// cannot be opened (these are logged to the FFmpeg log).
int ReadWholeFile(const std::string& fileName, uint8_t** buffer, size_t* size);
