#pragma once
// Subtitles (FFmpegSubtitles.cpp): decoded, then encoded again for every output stream that
// takes them.
struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;

// Returns 0 or more, or a negative decoding error.
int DecodeSubtitle(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, bool& gotOutput);
