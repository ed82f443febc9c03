#pragma once
// The audio path from a packet to the outputs (FFmpegAudioDecode.cpp).
struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;

// Sends the packet (null: the end) to an audio decoder and hands every frame it gives to the
// outputs that encode it. Returns 0 or a failure; the decoder's own error goes to
// `decoderError` (see DecodePacket).
int DecodeAudio(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, int& decoderError);
