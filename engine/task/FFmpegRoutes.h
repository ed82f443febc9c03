#pragma once
// The routes a conversion task calls out through while it converts: progress, preview bitmaps,
// the audio, video and frame hooks, and its termination. Each is code plus context (a
// std::function) and is called only when set; the owner of the task (the encoder component)
// sets them and clears them before the task goes.
#include <cstdint>
#include <functional>

#include "engine/core/Picture.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

class TBitmap;
class TCustomFFmpeg;

// One progress report of a running conversion.
struct TTaskProgress {
    int FileIndex = -1;          // the input being read; -1 in the final report
    int FrameNumber = -1;        // frames of the first video stream; -1 when no video counts
    int FPS = -1;                // frames per second since the start; -1 with FrameNumber
    float Quality = -1;          // quantizer of the last stream reported; -1 for none
    float BitRate = 0;           // kbit/s
    int64_t OutputSize = 0;      // bytes written
    int64_t OutputTime = 0;      // microseconds of output written
    int64_t TotalDuration = -1;  // microseconds expected in all; -1 when unknown
};

// What a conversion that ran to its end lost of its video to a damaged input: where reading
// stopped before the piece's end (a truncated file, data the demuxer could not read past), and
// the places the video was damaged (packets found corrupt or refused by the decoder, pictures
// decoded with errors).
struct TVideoLosses {
    // Microseconds from the piece's start up to which pictures were read, when reading stopped
    // short of the piece's end; -1 when it did not.
    int64_t ReadUntil = -1;
    int64_t Expected = 0;  // microseconds the piece was to last
    int Damaged = 0;       // places the video was damaged
    int Frames = 0;        // frames written
    double FrameRate = 0;  // of the output, frames a second (0 unknown)

    bool Any() const { return ReadUntil >= 0 || Damaged > 0; }
};

// A video frame handed to a video hook as a bitmap. The handler may change the bitmap and keep
// Update set to have it written back into the frame, and set StopHook to receive no more
// frames from this task.
struct TVideoHookCall {
    TBitmap* Bitmap = nullptr;
    int FrameNumber = 0;
    int64_t PTS = 0;  // microseconds
    bool Update = true;
    bool StopHook = false;
};

// A video frame handed to a frame hook as it is: its planes may be changed in place.
struct TFrameHookCall {
    int FrameNumber = 0;
    TPicture* Picture = nullptr;
    int PixFmt = -1;
    int Width = 0;
    int Height = 0;
    int64_t PTS = 0;  // microseconds
};

using TProgressRoute = std::function<void(TCustomFFmpeg* task, const TTaskProgress& progress)>;
using TPreviewBitmapRoute =
    std::function<void(TCustomFFmpeg* task, TBitmap& bitmap, int frameNumber, int64_t pts)>;
// The decoded samples of one audio frame (interleaved formats: all channels; planar formats:
// the first channel's plane), before the volume is applied; changes reach the encoder.
using TAudioHookRoute =
    std::function<void(TCustomFFmpeg* task, int64_t pts, uint8_t* samples, int size, int sampleRate,
                       int channels, AVSampleFormat sampleFormat)>;
using TVideoHookRoute = std::function<void(TCustomFFmpeg* task, TVideoHookCall& call)>;
using TFrameHookRoute = std::function<void(TCustomFFmpeg* task, TFrameHookCall& call)>;
using TTerminateRoute = std::function<void(TCustomFFmpeg* task)>;

struct TTaskRoutes {
    TProgressRoute Progress;
    TPreviewBitmapRoute PreviewBitmap;
    TAudioHookRoute AudioHook;
    TVideoHookRoute VideoInputHook;
    TVideoHookRoute VideoOutputHook;
    TFrameHookRoute FrameInputHook;
    TFrameHookRoute FrameOutputHook;
    TTerminateRoute Terminate;

    void Clear() { *this = TTaskRoutes{}; }
};

// The task's preview flags.
constexpr int kPreviewWindow = 1;  // show output frames in the task's preview window
constexpr int kPreviewBitmap = 2;  // hand output frames to the PreviewBitmap route
