#pragma once
// The four tables of a conversion task: its input files and streams, its output files and
// streams. Opening fills them; set-up and the transcoding loop read and update them.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"

struct AVBufferPool;
struct AVFilterGraph;
struct AVFilterContext;
struct AVFifo;
struct AVBSFContext;

struct TInputFile {
    AVFormatContext* Ctx = nullptr;
    bool EofReached = false;
    int IstIndex = 0;  // first stream in the input stream table
    int NbStreams = 0;
    int64_t TsOffset = 0;
    int RateEmu = 0;
    int64_t Duration = AV_NOPTS_VALUE;
};

struct TInputStream {
    int FileIndex = 0;
    AVStream* St = nullptr;
    AVCodecContext* DecoderContext = nullptr;  // owned by the task
    bool Discard = true;
    bool DecodingNeeded = false;
    const AVCodec* Decoder = nullptr;
    bool DirectRendering = false;
    AVDictionary* DecoderOpts = nullptr;
    int64_t Start = 0;
    int64_t NextPts = AV_NOPTS_VALUE;
    int64_t Pts = 0;
    double TsScale = 1.0;
    bool IsStart = true;
    bool ShowedMultiPacketWarning = false;
    bool Flushed = false;
    AVBufferPool* FrameBufferPool = nullptr;
};

struct TOutputFile {
    AVFormatContext* Ctx = nullptr;
    AVDictionary* Opts = nullptr;
    int OstIndex = 0;  // first stream in the output stream table
    int64_t RecordingTime = INT64_MAX;
    int64_t StartTime = 0;
    int64_t LimitFilesize = INT64_MAX;
};

constexpr int kMaxAudioChannelMap = 16;

struct TOutputStream {
    int FileIndex = 0;
    int Index = 0;         // stream index within its output file
    int SourceIndex = -1;  // input stream table index, -1 for none (attachments)
    int SyncIstIndex = -1;
    AVStream* St = nullptr;
    AVCodecContext* EncoderContext = nullptr;  // owned by the task
    const AVCodec* Enc = nullptr;
    bool EncodingNeeded = false;
    bool StreamCopy = false;
    std::vector<AVBSFContext*> BitstreamFilters;  // allocated, initialised at set-up
    AVRational FrameRate{0, 0};
    int ForceFps = 0;
    int TopFieldFirst = -1;
    bool VideoResample = false;
    int ResampleWidth = 0;
    int ResampleHeight = 0;
    int ResamplePixFmt = -1;
    double FrameAspectRatio = 0;
    int64_t SwsFlags = 0;
    std::string AvFilter;
    AVFilterGraph* Graph = nullptr;
    AVFilterContext* InputVideoFilter = nullptr;
    AVFilterContext* OutputVideoFilter = nullptr;
    AVFifo* Fifo = nullptr;
    bool AudioResample = false;
    int ResampleSampleFmt = -1;
    int ResampleChannels = 0;
    int ResampleSampleRate = 0;
    int AudioChannelsMap[kMaxAudioChannelMap] = {};
    int AudioChannelsMapped = 0;
    float RematrixVolume = 1.0f;
    FILE* Logfile = nullptr;
    AVDictionary* Opts = nullptr;
    AVDictionary* SavedOpts = nullptr;
    int SavedCodecId = 0;
    std::vector<int64_t> ForcedKfPts;
    int ForcedKfIndex = 0;
    int64_t MaxFrames = INT64_MAX;
    int FrameNumber = 0;
    int64_t SyncOpts = 0;
    bool IsPastRecordingTime = false;
    int64_t LastPts = AV_NOPTS_VALUE;
    int64_t LastDts = AV_NOPTS_VALUE;
    std::string AttachmentFilename;
    int CopyInitialNonkeyframes = 0;
};
