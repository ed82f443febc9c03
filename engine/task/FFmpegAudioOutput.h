#pragma once
// The audio path from a decoded frame to the muxer (FFmpegAudioOutput.cpp): resampling,
// keeping in step with the input, the FIFO of encoder frames, encoding.
struct AVFormatContext;
struct AVFrame;
class TCustomFFmpeg;
struct TInputStream;
struct TOutputStream;

void do_audio_out(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, TInputStream& ist,
                  AVFrame* frame);
// Encodes what the resampler and the FIFO still hold, then drains the encoder.
void DrainAudioEncoder(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost);
