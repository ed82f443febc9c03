#pragma once
// TTaskRunState: what a conversion task keeps while it works, apart from its options and its
// file and stream tables. Opening fills part of it; the conversion steps (set-up, the
// transcoding loop, the video and audio paths, the progress report) read and update it. State
// a step keeps between its calls belongs here, not in public fields of the task; state only one
// stage uses belongs to that stage (as the video hooks' TVideoHookStage, FFmpegVideoHooks.h).
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/IOWatchdog.h"
#include "engine/task/FFmpegPacketBufferPool.h"

struct AVCodecContext;
struct AVPacket;

struct TTaskRunState {
    TTaskRunState() = default;
    // Frees the buffers, packets and files below (not the codecs: see OpenedEncoders).
    ~TTaskRunState();
    TTaskRunState(const TTaskRunState&) = delete;
    TTaskRunState& operator=(const TTaskRunState&) = delete;
    void ReleaseBuffers();

    // When the blocking library call under way on the inputs, and on the outputs, started:
    // restarted before each call, checked by the task's interrupt callbacks.
    TIOWatchdog InputIOStart;
    TIOWatchdog OutputIOStart;
    // The longest duration of the opened inputs less their start (microseconds, -1 when none
    // is known), and the duration the progress report hands on: the longest recording time of
    // the opened outputs (-1 when none is limited).
    int64_t TotalDuration = -1;
    int64_t ProgressDuration = -1;
    // What failed, as the step that knew worded it, until a driver takes it (see
    // FFmpegStepFailure.h); empty while no step has failed.
    std::string StepFailure;

    // --- set-up ---------------------------------------------------------------------------
    // Every codec context opened so far; each is closed once, and taken off its list then.
    std::vector<AVCodecContext*> OpenedEncoders;
    std::vector<AVCodecContext*> OpenedDecoders;
    // The largest packet a video encoder writes into the reusable packet buffers, and the pool
    // of those buffers.
    int VideoPacketBufferSize = 262144;
    std::unique_ptr<TPacketBufferPool> VideoPacketBuffer;
    int64_t ExtraSize = 0;  // global headers of the opened encoders (bytes)
    bool PrintSdp = true;

    // --- join -----------------------------------------------------------------------------
    int StreamsPerInput = 0;  // streams of each joined input's group
    int JoinIndex = 0;        // the joined input being read

    // --- the loop -------------------------------------------------------------------------
    std::vector<uint8_t> NoPacket;  // per input file: it had nothing to read this round
    int NoPacketCount = 0;
    int64_t TimerStart = 0;             // av_gettime at the start (microseconds)
    int64_t LastReportTime = 0;         // of the last progress report
    AVPacket* Packet = nullptr;         // the packet read, reused every round
    AVPacket* EncodedPacket = nullptr;  // what an encoder gives, reused

    // --- counters of the report -----------------------------------------------------------
    int FramesDup = 0;
    int FramesDropped = 0;
    bool DupDropChanged = false;
    int64_t VideoSize = 0;
    int64_t AudioSize = 0;
    std::array<int, 52> QpHistogram{};
    FILE* VStatsFile = nullptr;
    bool VStatsFailed = false;  // the -vstats file could not be made

    // --- video path -----------------------------------------------------------------------
    std::vector<int> FedOutputs;  // output streams the current picture went to (reused)

    // --- audio path -----------------------------------------------------------------------
    // Converted samples on their way to the FIFO, and samples behind inserted silence; both
    // only grow.
    uint8_t* AudioBuffer = nullptr;
    unsigned AudioBufferSize = 0;
    uint8_t* SilenceBuffer = nullptr;
    unsigned SilenceBufferSize = 0;
    // Plane pointers into the blocks above (reused).
    std::vector<const uint8_t*> InputPlanes;
    std::vector<uint8_t*> PaddedPlanes;
    std::vector<uint8_t*> OutputPlanes;

    // --- subtitles ------------------------------------------------------------------------
    std::vector<uint8_t> SubtitleBuffer;  // 1 MiB once the first subtitle is encoded
};
