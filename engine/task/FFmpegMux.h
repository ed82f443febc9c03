#pragma once
// Writing packets to the muxers and draining the encoders (FFmpegMux.cpp).
struct AVFormatContext;
struct AVPacket;
class TCustomFFmpeg;
struct TOutputStream;

// Writes a packet of ost (its stream index set here) through the stream's bitstream filters;
// takes the packet's reference. Returns 0 or a failure (FFmpegStepFailure.h), as does
// DrainEncoders.
int WritePacket(TCustomFFmpeg& task, AVFormatContext* oc, AVPacket* packet, TOutputStream& ost);
// Drains the encoders of the streams [first, first + count).
int DrainEncoders(TCustomFFmpeg& task, int first, int count);
