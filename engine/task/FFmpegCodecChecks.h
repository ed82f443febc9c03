#pragma once
// What an encoder takes and what a codec may be opened with (FFmpegCodecChecks.cpp): the
// formats nearest to what was asked for, experimental codecs, options no codec consumed.
struct AVCodec;
struct AVCodecContext;
struct AVDictionary;
class TCustomFFmpeg;
struct TOutputStream;

void PickPixelFormat(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec);
void PickSampleFormat(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec);
void PickSampleRate(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec);
// Checked before the codec is opened, since libavcodec refuses experimental codecs with a text
// of its own: an experimental codec without "-strict experimental" fails (worded, logged at
// llFatal). Returns 0 or the failure.
int CheckExperimentalCodec(TCustomFFmpeg& task, AVCodecContext* context, const AVCodec* codec,
                           bool encoder, AVDictionary* options);
// An option the opened codec did not consume: a failure (worded, logged at llFatal) with
// StrictOptions, else a warning in the log. Returns 0 or the failure.
int CheckUnusedOptions(TCustomFFmpeg& task, AVDictionary* options);
