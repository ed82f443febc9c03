#pragma once
// The records of the encoder component: what the application passes in with a task's input and
// output, and what the encoder's events hand out (termination, progress, preview bitmaps, video
// and frame hooks).
#include <cstdint>
#include <string>

#include "engine/core/Picture.h"
#include "engine/task/FFmpegRoutes.h"

class TBitmap;

// How one input of a task is read.
struct TInputOptions {
    std::string FileName;  // when empty, AddTask stores its file name here
    std::string Options;   // ffmpeg-style input options
    std::string Presets;   // key=value lines
    int Reserved1 = 0;     // cleared, never read
    int Reserved2 = 0;
};

// How one output of a task is written, and which hooks its frames pass.
struct TOutputOptions {
    std::string FileName;  // when empty, SetOutput stores its file name here
    std::string Options;   // ffmpeg-style output options
    std::string Presets;   // key=value lines
    bool AudioHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    int VideoHookBitsPixel = 24;  // bit depth of the hook and preview bitmaps
    bool FrameInputHook = false;
    bool FrameOutputHook = false;
    bool Join = false;  // the inputs one after another into this output
    int Reserved1 = 0;  // cleared, never read
    int Reserved2 = 0;
};

// Back to the values above.
void ResetInputOptions(TInputOptions& options);
void ResetOutputOptions(TOutputOptions& options);

// The end of a task, or with TaskIndex -1 the end of all tasks of a run.
struct TTerminateInfo {
    int TaskIndex = -1;
    bool Completed = false;  // ran to its end without a stop request
    bool Failed = false;     // ended by an error
    std::string ErrorMessage;
    // What a completed task lost of its video to a damaged input.
    TVideoLosses Losses;
};

// One progress report of a running task.
struct TProgressInfo {
    int TaskIndex = 0;
    int FileIndex = -1;  // the input being read; -1 in the last report
    int FrameNumber = 0;
    int FPS = 0;
    float Quality = 0;
    float BitRate = 0;           // kbit/s
    int64_t OutputSize = 0;      // bytes
    int64_t OutputTime = 0;      // microseconds
    int64_t TotalDuration = -1;  // microseconds; -1 when unknown
};
using PProgressInfo = TProgressInfo*;

// An output frame for the preview. The bitmap is valid only during the event.
struct TPreviewInfo {
    int TaskIndex = 0;
    TBitmap* Bitmap = nullptr;
    int FrameNumber = 0;
    int64_t PTS = 0;  // microseconds
};

// A frame handed to a video hook as a bitmap. Keep Update set to have the bitmap written back
// into the frame; set StopHook to receive no more frames of this task.
struct THookInfo {
    int TaskIndex = 0;
    TBitmap* Bitmap = nullptr;
    int FrameNumber = 0;
    int64_t PTS = 0;  // microseconds
    bool Update = true;
    bool StopHook = false;
};
using PHookInfo = THookInfo*;

// A frame handed to a frame hook as it is: its planes may be changed in place.
struct TFrameHookInfo {
    int TaskIndex = 0;
    int FrameNumber = 0;
    TPicture* Picture = nullptr;
    int PixFmt = -1;  // the library's pixel format
    int Width = 0;
    int Height = 0;
    int64_t PTS = 0;  // microseconds
};
using PFrameHookInfo = TFrameHookInfo*;
