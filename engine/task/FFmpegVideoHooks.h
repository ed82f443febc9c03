#pragma once
// Hooks and previews of the video path (FFmpegVideoHooks.cpp).
#include <cstdint>

struct AVFrame;
class TCustomFFmpeg;
struct TInputStream;

// Deinterlacing and the input hooks on a decoded picture.
void pre_process_video_frame(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame);
// Output hooks and the preview on a frame about to be encoded. Returns the frame to encode:
// `frame`, or the hook copy holding what the hooks changed.
AVFrame* RunOutputHooks(TCustomFFmpeg& task, AVFrame* frame, int64_t pts, int frameNumber);
bool HasOutputHooks(TCustomFFmpeg& task);
// Marks the task converting (its thread alone then owns the preview window) or not; the
// window closes when the preview flag is off.
void SetConverting(TCustomFFmpeg& task, bool converting);
