#pragma once
// The audio path from a decoded frame to the muxer (FFmpegAudioOutput.cpp): resampling,
// keeping in step with the input, the FIFO of encoder frames, encoding.
struct AVFormatContext;
struct AVFrame;
class TCustomFFmpeg;
struct TInputStream;
struct TOutputStream;

// A decoded frame of ist into ost's encoder and on to the muxer. Returns 0 or a failure
// (FFmpegStepFailure.h), as does DrainAudioEncoder.
int do_audio_out(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, TInputStream& ist,
                 AVFrame* frame);
// Encodes what the resampler and the FIFO still hold, then drains the encoder.
int DrainAudioEncoder(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost);
