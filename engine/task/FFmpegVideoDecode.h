#pragma once
// The video path from a packet to the filter graphs (FFmpegVideoDecode.cpp).
struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;

// Sends the packet (null: the end) to a video decoder and takes every picture it gives through
// the filter graphs to the outputs. Returns 0 or a failure; the decoder's own error goes to
// `decoderError` (see DecodePacket).
int DecodeVideo(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError);
