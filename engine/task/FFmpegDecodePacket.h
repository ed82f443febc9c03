#pragma once
// One packet of an input stream on its way out (FFmpegDecodePacket.cpp), and what the decoding
// paths of video, audio and subtitles share: the window of input times an output takes, the
// pacing of -re inputs, sending packets to a decoder.
//
// Timestamps of input streams (Pts, NextPts) are microseconds; the decoders are given packets
// with microsecond timestamps too.
#include <cstdint>

struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;
struct TOutputStream;

// One packet (or, with null, the end) through the stream's decoder, and to every output stream
// that copies the stream. Returns 0 or a failure (FFmpegStepFailure.h). The decoder's own error,
// on a damaged packet say, is no failure: it comes in `decoderError` (0 when there was none),
// and the packet goes no further then.
int DecodePacket(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError);
// Whether ost takes ist's current frame: -t and output -ss act here.
bool InOutputWindow(TCustomFFmpeg& task, const TInputStream& ist, TOutputStream& ost);
// -re: sleeps while the stream is ahead of the wall clock.
void PaceInput(TCustomFFmpeg& task, const TInputStream& ist);
// Sends a packet with its timestamps in microseconds to the stream's decoder; null sends the
// end, once (AVERROR_EOF after that, until the decoder is flushed).
int SendPacketToDecoder(TInputStream& ist, AVPacket* packet);
// "Multiple frames in a packet from stream %d": a warning the first time, verbose after.
void WarnMultipleFrames(TCustomFFmpeg& task, TInputStream& ist);
// The stream's frame duration in microseconds from its codec or frame rate; 0 when unknown.
int64_t CodecFrameDuration(const TInputStream& ist);
