#pragma once
// The largest frames a conversion can make, and the memory a conversion into frames of a size
// takes: both front ends refuse what cannot be made before converting, with a sentence that
// says why.
#include <cstdint>
#include <string>

#include "app/core/FrameColors.h"

// The longest side: the GIF reader's own limit, so that every GIF made reads back.
constexpr int kLargestFrameSide = 16384;
// The largest square frame the media libraries make (a picture must stay below 2^31 bytes
// with a margin of 128 rows and columns at 8 bytes a pixel).
constexpr const char* kLargestSquareFrame = "16255x16255";

// Whether frames of width x height can be made: sides from 1 to kLargestFrameSide, and few
// enough pixels for the media libraries.
bool WritableFrameSize(int width, int height);

// The end of a sentence about a size that cannot be made: "is larger than ClipGIF can write:
// at most 16255x16255 (a side of up to 16384 where the other is shorter)".
std::string TooLargeForFramesText();

// The least memory, in bytes, that the peak of a conversion into frames of width x height
// takes (measured on whole conversions with one frame worker; more workers take more).
uint64_t ConversionMemoryBytes(int width, int height, TFrameColors colors);

// "" when `usableBytes` (0: unknown) holds the conversion's memory; otherwise why not: "a
// 12000x12000 GIF needs at least 4.3 GB of memory, more than ClipGIF can have on this machine
// (3.0 GB)".
std::string MemoryShortfallText(int width, int height, TFrameColors colors, uint64_t usableBytes);
