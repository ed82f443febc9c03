#pragma once
// Subtitles (FFmpegSubtitles.cpp): decoded, then encoded again for every output stream that
// takes them.
struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;

// Decodes the packet and writes the subtitle to every output stream that takes it. Returns 0 or
// a failure; the decoder's own error goes to `decoderError` (see DecodePacket).
int DecodeSubtitle(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError);
