#pragma once
// The four tables of a conversion task: its input files and streams, its output files and
// streams. Opening fills them; set-up and the transcoding loop read and update them.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"

struct AVFilterGraph;
struct AVFilterContext;
struct AVAudioFifo;
struct AVBSFContext;
struct SwrContext;
class TFrameBufferPool;

struct TInputFile {
    AVFormatContext* Ctx = nullptr;
    bool EofReached = false;
    int IstIndex = 0;  // first stream in the input stream table
    int NbStreams = 0;
    int64_t TsOffset = 0;
    int RateEmu = 0;
    int64_t Duration = AV_NOPTS_VALUE;
    // The error that ended the reading, other than the end of the file; 0 when none did.
    int ReadError = 0;
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
    // Picture buffers of a direct-rendering video decoder, shared with the frames that still
    // hold them.
    std::shared_ptr<TFrameBufferPool> FrameBufferPool;

    // --- decoding -----------------------------------------------------------------------------
    bool DecoderOpened = false;
    // The decoder was sent its end (a null packet) and gives what it still holds.
    bool DecoderDraining = false;
    AVFrame* DecodedFrame = nullptr;   // reused for every decoded frame
    AVFrame* FilteredFrame = nullptr;  // reused for every frame out of a filter graph
    int FrameCounter = 0;              // decoded video frames, the number input hooks get
    // Places where the stream is damaged: packets the demuxer found corrupt or the decoder
    // refused, pictures decoded with errors.
    int Damaged = 0;
    // The first dts read from the stream (stream time base), AV_NOPTS_VALUE before.
    int64_t FirstDts = AV_NOPTS_VALUE;
    // The dts of the last packet read and where the next one is due (microseconds, offsets
    // applied), AV_NOPTS_VALUE before: a jump away from them is a discontinuity of the file.
    int64_t LastDts = AV_NOPTS_VALUE;
    int64_t NextDts = AV_NOPTS_VALUE;
};

struct TOutputFile {
    AVFormatContext* Ctx = nullptr;
    AVDictionary* Opts = nullptr;
    int OstIndex = 0;  // first stream in the output stream table
    int64_t RecordingTime = INT64_MAX;
    int64_t StartTime = 0;
    int64_t LimitFilesize = INT64_MAX;
    // A record of a joined input's stream group: it writes through the muxer of output 0,
    // which it does not own.
    bool SharesMuxer = false;
};

constexpr int kMaxAudioChannelMap = 16;

struct TOutputStream {
    int FileIndex = 0;
    int Index = 0;         // stream index within its output file
    int SourceIndex = -1;  // input stream table index, -1 for none (attachments)
    int SyncIstIndex = -1;
    AVStream* St = nullptr;
    AVCodecContext* EncoderContext = nullptr;  // owned by the task (see JoinBase)
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
    // Samples in the encoder's format waiting to fill a whole encoder frame.
    AVAudioFifo* Fifo = nullptr;
    bool AudioResample = false;
    int ResampleSampleFmt = -1;
    int ResampleChannels = 0;
    int ResampleSampleRate = 0;
    SwrContext* Resampler = nullptr;
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

    // --- the run --------------------------------------------------------------------------
    // Join copies: the index of the stream of the first group whose muxer stream, encoder,
    // bitstream filters, pass-1 log and audio FIFO this copy uses; -1 for the streams of the
    // first group and without joining.
    int JoinBase = -1;
    bool Flushed = false;    // the encoder was drained
    bool GroupDone = false;  // join: the input of this stream's group has ended
    // Where the muxer stream has got to: the end of the last packet written (microseconds).
    int64_t MuxedTime = 0;
    // What the encoder reported of its last packet: quality (lambda), picture type, and the
    // squared errors per plane, last and summed over the stream.
    int Quality = 0;
    int PictType = 0;
    uint64_t Error[4] = {};
    uint64_t ErrorSum[4] = {};
    bool HasQuality = false;
    // The audio encoder's frame, allocated once, and how many samples its buffers hold.
    AVFrame* EncoderFrame = nullptr;
    int EncoderFrameCapacity = 0;
    // A packet per bitstream filter, for the filters' output.
    std::vector<AVPacket*> FilteredPackets;
};
