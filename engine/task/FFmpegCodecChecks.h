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
// Checked before the codec is opened: libavcodec refuses experimental codecs with a text of
// its own.
void CheckExperimentalCodec(TCustomFFmpeg& task, AVCodecContext* context, const AVCodec* codec,
                            bool encoder, AVDictionary* options);
void CheckUnusedOptions(TCustomFFmpeg& task, AVDictionary* options);
