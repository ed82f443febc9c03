#pragma once
// The multi-line description of an open media file that the options dialog shows: name, format,
// size, metadata, duration, chapters, programs and one line per stream.
#include <cstdint>
#include <string>
#include <vector>

struct AVDictionary;
struct AVFormatContext;
struct AVStream;

// The whole text, lines joined with line feeds. `fileSize` is the size the summary holds.
std::string FileInfoText(const AVFormatContext& context, int64_t fileSize);

// Pieces of the text, for the decoder's records and for tests.

// libavcodec's one-line description of a stream's codec ("h264 (High), yuv420p, 64x48, ...").
std::string CodecDescription(const AVStream& stream);
// ", 25 fps", ", 29.97 fps", ", 90k tbn": a rate with its unit word.
std::string RateText(double rate, const char* unit);
// Seconds with six decimals ("1.433367", "-0.500000") of a time in microseconds.
std::string StartText(int64_t microseconds);
// "Metadata:" and one line per entry except "language", each line starting with `prefix`;
// nothing when the dictionary is empty or holds only "language".
void AppendMetadataBlock(std::vector<std::string>& lines, const std::string& prefix,
                         const AVDictionary* metadata);
