#pragma once
// Hooks and previews of the video path (FFmpegVideoHooks.cpp): deinterlacing and the input hooks
// on each decoded picture, the output hooks on each picture about to be encoded, the preview
// window and the preview bitmaps.
#include <cstdint>
#include <memory>

#include "engine/frames/FormatConverter.h"

struct AVFrame;
class TCustomFFmpeg;
class TPreviewer;
struct TInputStream;

// What the stage keeps from picture to picture: the task holds one (TCustomFFmpeg::VideoHooks).
// Only the converting thread uses it, apart from the preview flags (see TPreviewState).
struct TVideoHookStage {
    TVideoHookStage();
    // Frees the frame copies and closes the preview window.
    ~TVideoHookStage();
    TVideoHookStage(const TVideoHookStage&) = delete;
    TVideoHookStage& operator=(const TVideoHookStage&) = delete;

    // Bitmaps for the input video hook, and for the output video hook and the previews: a
    // preview shows the output hook's bitmap when the hook left it as the picture goes on.
    TFormatConverter HookConverter;
    TFormatConverter PreviewConverter;
    // The copies of the picture the input and output hooks work on; reused from picture to
    // picture and freed at the end of each conversion.
    AVFrame* InputHookFrame = nullptr;
    AVFrame* OutputHookFrame = nullptr;
    int64_t LastPreviewTime = INT64_MIN;  // av_gettime of the last preview delivered

    // The preview flags with their changed marker, and the preview window; guarded by the
    // process-wide preview lock of FFmpegVideoHooks.cpp, since the controlling thread sets the
    // flags (TCustomFFmpeg::SetFlags). The window is made and painted only by the converting
    // thread.
    struct TPreviewState {
        int Flags = 0;
        bool FlagsChanged = false;
        bool Converting = false;
        std::unique_ptr<TPreviewer> Window;
    } Preview;
};

// At the start of a conversion: the converting thread alone owns the preview window from now on,
// and the converters take the task's bitmap depth. Returns 0, or a failure ("Invalid BitsPixel
// %d", FFmpegStepFailure.h) for a depth they do not have.
int StartVideoHooks(TCustomFFmpeg& task);
// At its end: the frame copies are freed, and the window closes unless the preview flag is on.
void FinishVideoHooks(TCustomFFmpeg& task);

// Deinterlacing and the input hooks on a decoded picture.
void pre_process_video_frame(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame);
// Output hooks and the preview on a frame about to be encoded. Returns the frame to encode:
// `frame`, or the hook copy holding what the hooks changed.
AVFrame* RunOutputHooks(TCustomFFmpeg& task, AVFrame* frame, int64_t pts, int frameNumber);
bool HasOutputHooks(TCustomFFmpeg& task);
