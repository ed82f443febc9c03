#pragma once
// Progress of a conversion (FFmpegProgress.cpp): the status line and the progress route, the
// -vstats lines, what the encoders report of their packets.
#include <cstdint>

struct AVPacket;
class TCustomFFmpeg;
struct TOutputStream;

// The report at `now` (av_gettime_relative) of the input `fileIndex`; the final one with isLast
// (fileIndex -1).
void ReportProgress(TCustomFFmpeg& task, int64_t now, bool isLast, int fileIndex);
// One -vstats line for a packet of an encoded video stream.
void WriteVideoStats(TCustomFFmpeg& task, TOutputStream& ost, int frameSize);
// Keeps what the encoder reported of a packet (quality, picture type, errors).
void TakeEncoderStats(TOutputStream& ost, const AVPacket* packet);
