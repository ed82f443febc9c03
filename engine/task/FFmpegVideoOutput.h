#pragma once
// The video path from a filtered picture to the muxer (FFmpegVideoOutput.cpp): constant frame
// rate, encoding.
struct AVFormatContext;
struct AVFrame;
class TCustomFFmpeg;
struct TInputStream;
struct TOutputStream;

// Writes the picture as often as the frame rate asks (none: dropped).
void WriteVideoFrames(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                      TInputStream& ist, AVFrame* frame, double quality, int& frameSize);
// Takes every packet the video encoder has ready and writes it; returns their bytes.
int ReceiveVideoPackets(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost);
