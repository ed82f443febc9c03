#pragma once
// The video path from a filtered picture to the muxer (FFmpegVideoOutput.cpp): constant frame
// rate, encoding.
struct AVFormatContext;
struct AVFrame;
class TCustomFFmpeg;
struct TInputStream;
struct TOutputStream;

// Encodes and writes the picture as often as the frame rate asks (not at all: dropped).
// Returns 0 or a failure (FFmpegStepFailure.h), as does each function here.
int WriteVideoFrames(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                     TInputStream& ist, AVFrame* frame, double quality);
// Takes every packet the video encoder has ready and writes it.
int ReceiveVideoPackets(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost);
