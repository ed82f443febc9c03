#pragma once
// The audio path from a packet to the outputs (FFmpegAudioDecode.cpp).
struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;

// Sends the packet (null: the end) to an audio decoder and hands every frame it gives to the
// outputs that encode it. Returns 0, or a negative decoding error.
int DecodeAudio(TCustomFFmpeg& task, TInputStream& ist, AVPacket* packet, bool& gotOutput);
