#pragma once
// The steps of a conversion that more than one file of engine/task/ uses. Private to the
// conversion: the rest of the engine converts through TCustomFFmpeg::Transcode.
//
// Timestamps of input streams (Pts, NextPts) and the times below are microseconds; the
// decoders are given packets with microsecond timestamps too.
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/core/ErrorCodes.h"
#include "engine/task/FFmpegTask.h"

struct AVSubtitle;

// --- FFmpegSetup.cpp: set-up ---------------------------------------------------------------
// Encoder parameters, filter graphs, encoders, decoders, headers and the stream mapping.
// Returns 0 or a negative error (with LastError, or an error text logged at llError).
int transcode_init(TCustomFFmpeg& task);
// Opens the decoder of a decoding input stream. 0, or -22 with the text in `error`.
int OpenInputDecoder(TCustomFFmpeg& task, int istIndex, std::string& error);
// Closes a codec opened by the set-up and takes it off its opened list.
void CloseCodec(std::vector<AVCodecContext*>& opened, AVCodecContext* context);

// --- FFmpegSetupStreams.cpp: each output stream's parameters from its source ----------------
// Returns 0 or a negative error with LastError.
int SetupOutputStream(TCustomFFmpeg& task, TOutputStream& ost, int ostIndex);

// --- FFmpegVideoGraph.cpp --------------------------------------------------------------------
// "src" (buffer) -> [scale] -> the -vf text -> "out" (buffersink of the encoder's format).
int BuildVideoGraph(TCustomFFmpeg& task, TInputStream& ist, TOutputStream& ost);

// --- FFmpegCodecChecks.cpp: formats the encoder takes, experimental codecs, options ----------
void PickPixelFormat(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec);
void PickSampleFormat(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec);
void PickSampleRate(TCustomFFmpeg& task, TOutputStream& ost, const AVCodec* codec);
// Checked before the codec is opened: libavcodec refuses experimental codecs with a text of
// its own.
void CheckExperimentalCodec(TCustomFFmpeg& task, AVCodecContext* context, const AVCodec* codec,
                            bool encoder, AVDictionary* options);
void CheckUnusedOptions(TCustomFFmpeg& task, AVDictionary* options);

// --- FFmpegMappingReport.cpp -------------------------------------------------------------------
void PrintStreamMapping(TCustomFFmpeg& task);

// --- FFmpegDecodePacket.cpp: one packet (or, with null, the end) through a decoder ----------
int DecodePacket(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet);
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

// --- FFmpegVideoDecode.cpp ----------------------------------------------------------------------
// Sends the packet (null: the end) to a video decoder and takes every picture it gives through
// the filter graphs to the outputs. Returns 0, or a negative decoding error.
int DecodeVideo(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, bool& gotOutput);
// Sends the end to the filter graphs fed by ist and writes the frames they still hold.
void DrainVideoGraphs(TCustomFFmpeg& task, TInputStream& ist);
// Installs the frame buffer pool on a direct-rendering video decoder.
void UseFrameBufferPool(TInputStream& ist);

// --- FFmpegVideoOutput.cpp: constant frame rate, encoding ----------------------------------
void WriteVideoFrames(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost,
                      TInputStream& ist, AVFrame* frame, double quality, int& frameSize);
// Takes every packet the video encoder has ready and writes it; returns their bytes.
int ReceiveVideoPackets(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost);

// --- FFmpegVideoHooks.cpp: hooks and previews ------------------------------------------------
void pre_process_video_frame(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame);
// Output hooks and the preview on a frame about to be encoded. Returns the frame to encode:
// `frame`, or the hook copy holding what the hooks changed.
AVFrame* RunOutputHooks(TCustomFFmpeg& task, AVFrame* frame, int64_t pts, int frameNumber);
bool HasOutputHooks(TCustomFFmpeg& task);
// The process-wide lock of the preview flags of all tasks.
std::mutex& PreviewLock();
// Marks the task converting (its thread alone then owns the preview window) or not; the
// window closes when the preview flag is off.
void SetConverting(TCustomFFmpeg& task, bool converting);

// --- FFmpegAudioDecode.cpp / FFmpegAudioOutput.cpp ----------------------------------------------
int DecodeAudio(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, bool& gotOutput);
void do_audio_out(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, TInputStream& ist,
                  AVFrame* frame);
// Encodes `samples` samples from the stream's FIFO (0 with `drain`: sends the end) and writes
// what the encoder gives. Returns the bytes written.
int encode_audio_frame(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, int samples,
                       bool drain);
// Encodes what the resampler and the FIFO still hold, then drains the encoder.
void DrainAudioEncoder(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost);
// The stream whose FIFO, encoder and muxer stream ost uses (itself, or its join base).
TOutputStream& EncodingStream(TCustomFFmpeg& task, TOutputStream& ost);

// --- FFmpegSubtitles.cpp
// ---------------------------------------------------------------------------
int DecodeSubtitle(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, bool& gotOutput);
void WriteSubtitle(TCustomFFmpeg& task, AVFormatContext* oc, TOutputStream& ost, TInputStream& ist,
                   AVSubtitle& subtitle, int64_t pts);

// --- FFmpegStreamCopy.cpp
// ----------------------------------------------------------------------------
void CopyPacket(TCustomFFmpeg& task, TInputStream& ist, TOutputStream& ost, const AVPacket* packet);

// --- FFmpegMux.cpp: writing and draining -------------------------------------------------------
// Writes a packet of ost (its stream index set here) through the stream's bitstream filters;
// takes the packet's reference.
void WritePacket(TCustomFFmpeg& task, AVFormatContext* oc, AVPacket* packet, TOutputStream& ost);
// Drains the encoders of the streams [first, first + count).
void DrainEncoders(TCustomFFmpeg& task, int first, int count);

// --- FFmpegProgress.cpp
// ------------------------------------------------------------------------------
void ReportProgress(TCustomFFmpeg& task, int64_t now, bool isLast, int fileIndex);
// One -vstats line for a packet of an encoded video stream.
void WriteVideoStats(TCustomFFmpeg& task, TOutputStream& ost, int frameSize);
// Keeps what the encoder reported of a packet (quality, picture type, errors).
void TakeEncoderStats(TOutputStream& ost, const AVPacket* packet);

// --- FFmpegJoin.cpp
// ---------------------------------------------------------------------------------- Adds the
// stream group of input `inputIndex`; the new output file index or -1 (LastError).
int JoinAddInput(TCustomFFmpeg& task, int inputIndex);
// At the end of joined input j: drains its decoders and graphs and moves on to input j + 1.
void SwitchJoinInput(TCustomFFmpeg& task);

// --- FFmpegTask.cpp ------------------------------------------------------------------------------
// Frees the output files and stream records (join copies do not own their muxer or encoder).
void FreeOutputs(TCustomFFmpeg& task);
// Frees what the conversion made per stream: FIFOs, frames, resamplers, graphs, pass-1 logs.
void ReleaseStreamRunResources(TCustomFFmpeg& task);

// --- shared small helpers ----------------------------------------------------------------------
inline TInputStream& SourceOf(TCustomFFmpeg& task, const TOutputStream& ost) {
    return task.InputStreams[ost.SourceIndex];
}
// The output streams the loop works on: all, or in join mode those of the groups.
inline int OutputStreamCount(const TCustomFFmpeg& task) {
    return static_cast<int>(task.OutputStreams.size());
}
// The muxer of the output (in join mode every group writes through output 0's).
inline AVFormatContext* MuxerOf(TCustomFFmpeg& task, const TOutputStream& ost) {
    return task.OutputFiles[ost.FileIndex].Ctx;
}
