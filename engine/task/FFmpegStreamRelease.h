#pragma once
// Releasing the stream records of a task (FFmpegStreamRelease.cpp).
class TCustomFFmpeg;

// Frees the output files and stream records (join copies do not own their muxer or encoder).
void FreeOutputs(TCustomFFmpeg& task);
// Frees what the conversion made per stream: FIFOs, frames, resamplers, graphs, pass-1 logs.
void ReleaseStreamRunResources(TCustomFFmpeg& task);
