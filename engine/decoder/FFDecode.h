#pragma once
// The media decoder component.
//
// TCustomDecoder opens one media file through libavformat and describes it: a summary of its
// streams, the file information and video stream information records and the information text.
// TFFDecoder adds the video side: stepping through the frames of a video stream forward and
// backward, seeking, and copying the current frame into a bitmap.
//
// A decoder runs on the thread that calls it. Failures return false (or -1) and leave their
// text in LastErrorMessage(), which is also written to the engine log; only a missing library
// and a seek on a context the decoder did not open raise exceptions.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/FFBaseComponent.h"
#include "engine/core/IOWatchdog.h"
#include "engine/core/ShownPicture.h"
#include "engine/decoder/FFDecodeOptionSet.h"
#include "engine/frames/FormatConverter.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
class TBitmap;

// The no-value marker of times (INT64_MIN, libav's AV_NOPTS_VALUE).
constexpr int64_t kNoTime = INT64_MIN;

// Formats that hold one still picture: "image2" (any case) and libavformat's single-picture
// demuxers ("png_pipe", "jpeg_pipe", ...). They have one frame and cannot be seeked.
bool IsStillPictureFormat(const char* formatName);

struct TFileInfo {
    int64_t StartTime = kNoTime;  // microseconds
    int64_t Duration = -1;        // microseconds, -1 when unknown
    int32_t BitRate = -1;         // bits per second
    int64_t Timestamp = -1;       // creation time of the file, microseconds since 1970, 0 if none
    int32_t Year = -1;
    int32_t Track = -1;
    std::string Title;
    std::string Author;
    std::string Copyright;
    std::string Comment;
    std::string Album;
    std::string Genre;
};

struct TVideoStreamInfo {
    std::string Language;
    std::string CodecText;
    std::string CodecName;     // the codec's short name ("h264")
    int64_t StartTime = -1;    // stream time-base units
    int64_t StartTimeUs = -1;  // microseconds, -1 when unknown
    int64_t Duration = -1;     // stream time-base units
    int64_t DurationUs = -1;   // microseconds, -1 when unknown
    int32_t BitRate = -1;
    int32_t Height = -1;
    int32_t Width = -1;
    float AspectRatio = -1;
    int32_t PixelFormat = -1;
    int32_t FrameRateNum = -1;
    int32_t FrameRateDen = -1;
    // The picture as players show it (ShownPicture.h): turned upright with square pixels; turned
    // upright only, as a conversion gives it unless asked for a size; and what turns it
    // ("rotated 90 degrees clockwise"; empty when nothing does).
    int32_t ShownWidth = -1;
    int32_t ShownHeight = -1;
    int32_t UprightWidth = -1;
    int32_t UprightHeight = -1;
    std::string Turn;
};

// Size and stream counts of the open file; every value is -1 while no file is open.
struct TDecoderSummary {
    int64_t FileSize = -1;
    int StreamCount = -1;
    int ProgramCount = -1;
    int AudioStreamCount = -1;
    int VideoStreamCount = -1;
    int SubtitleStreamCount = -1;
    int FirstAudioStream = -1;
    int FirstVideoStream = -1;
    int FirstSubtitleStream = -1;
    // The video stream players show: the one marked default, else the first.
    int DefaultVideoStream = -1;
};

class TCustomDecoder;
using TBeforeFindStreamInfoEvent =
    std::function<void(TCustomDecoder* sender, AVFormatContext* context)>;

class TCustomDecoder : public TFFBaseComponent {
public:
    TCustomDecoder();
    ~TCustomDecoder() override;
    TCustomDecoder(const TCustomDecoder&) = delete;
    TCustomDecoder& operator=(const TCustomDecoder&) = delete;

    // Opens `fileName` (UTF-8); `formatName` forces an input format, empty lets libavformat
    // probe. Raises "Library %s not loaded." when a library of the decoder set is missing.
    bool LoadFile(const std::string& fileName, const std::string& formatName = "");
    // Closes the file when the decoder opened it, forgets the context and resets the summary.
    virtual void Close();
    // Takes a context opened elsewhere, without ownership: it is never closed by the decoder
    // and cannot be seeked through it.
    virtual void AttachFormatContext(AVFormatContext* context);

    std::string FileName();
    std::string FormatName();
    std::string FileInfoText();
    TFileInfo GetFileInfo();
    // Index -1 means the default video stream (the one players show, and a conversion of the
    // file converts). False (with the record at its defaults) when there is no such video
    // stream.
    bool GetVideoStreamInfo(int streamIndex, TVideoStreamInfo& info);
    bool IsVideoStream(int streamIndex);
    // The times of the key frames the file's index lists for a video stream (-1: the default
    // one), in microseconds from the file's start, in order; empty when the file has no index
    // (or builds it only while it is read).
    std::vector<int64_t> IndexedKeyFrames(int streamIndex);

    int64_t FileSize() const { return summary_.FileSize; }
    int StreamCount() const { return summary_.StreamCount; }
    int ProgramCount() const { return summary_.ProgramCount; }
    int AudioStreamCount() const { return summary_.AudioStreamCount; }
    int VideoStreamCount() const { return summary_.VideoStreamCount; }
    int SubtitleStreamCount() const { return summary_.SubtitleStreamCount; }
    int FirstAudioStream() const { return summary_.FirstAudioStream; }
    int FirstVideoStream() const { return summary_.FirstVideoStream; }
    int FirstSubtitleStream() const { return summary_.FirstSubtitleStream; }
    int DefaultVideoStream() const { return summary_.DefaultVideoStream; }

    const std::string& LastErrorMessage() const { return lastErrorMessage_; }
    // The format name given to the last successful load (empty when probed).
    const std::string& ForcedFormatName() const { return forcedFormatName_; }
    AVFormatContext* FormatContext() const { return formatContext_; }
    bool Loaded() const { return formatContext_ != nullptr; }

    // Scaler flags the option set is made with (default 4, bicubic).
    int ScalerFlags() const { return scalerFlags_; }
    void SetScalerFlags(int flags) { scalerFlags_ = flags; }
    // Options for the next load only: format (demuxer) options and codec options.
    void SetFormatOption(const std::string& name, const std::string& value);
    void SetCodecOption(const std::string& name, const std::string& value);

    // Raised before the stream information is searched, on the main thread when
    // TriggerEventInMainThread is set.
    bool TriggerEventInMainThread = true;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;

protected:
    virtual void RefreshSummary();
    // Called at the end of a successful load with the scaler option context's "sws_flags".
    virtual void ApplyScalerFlags(int64_t flags);

    // Records `text` as LastErrorMessage and logs it at the engine level matching the libav
    // level `avLevel` (16 error, 24 warning, 32 info, 48 debug).
    void RecordError(int avLevel, const std::string& text);
    void RecordErrorF(int avLevel, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Logs without touching LastErrorMessage.
    void LogF(int avLevel, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void SetLastErrorMessage(const std::string& text) { lastErrorMessage_ = text; }
    // True with a file open; otherwise records "file not loaded." at warning level.
    bool RequireFile();
    bool OwnsContext() const { return owned_; }
    // Times a blocking library call for the I/O time-out check.
    void StartIOClock() { ioWatchdog_.Start(); }
    void StopIOClock() { ioWatchdog_.Stop(); }
    // The decoder set of libraries: loaded / raises "Library %s not loaded.".
    static bool DecoderLibsLoaded();
    static void CheckDecoderLibsLoaded();

private:
    static int InterruptCallback(void* opaque);
    bool IOTimedOut();
    bool OpenAndProbe(const std::string& fileName, const std::string& formatName, bool probeLonger);
    bool OpenInput(const std::string& fileName, const std::string& formatName, bool probeLonger);
    bool FindStreamInfo(const std::string& fileName);
    void LogUnusedFormatOptions();
    void RaiseBeforeFindStreamInfo();
    void FailLoad();

    TDecoderOptionSet optionSet_;
    int scalerFlags_ = 4;
    AVFormatContext* formatContext_ = nullptr;
    bool owned_ = false;
    std::string lastErrorMessage_;
    std::string forcedFormatName_;
    TDecoderSummary summary_;
    TIOWatchdog ioWatchdog_;
};

class TFFDecoder : public TCustomDecoder {
public:
    TFFDecoder();
    ~TFFDecoder() override;

    void Close() override;

    // In the following calls the stream index -1 means the selected stream (or the default
    // video stream when none is selected yet); any other index names a stream of the file.

    // Selects a video stream and returns its index, or -1 with LastErrorMessage set.
    int SelectVideoStream(int streamIndex);
    // Decodes the next picture of the stream; false at the end of the stream or on failure.
    bool DecodeNextFrame(int streamIndex = -1);
    // Makes the picture before the current one current (the first picture stays the first);
    // decoding forward afterwards continues with the picture that was current.
    bool DecodePreviousFrame(int streamIndex = -1);
    // Decodes the key frame before the current picture.
    bool SeekToPreviousKeyFrame(int streamIndex = -1);
    // Seeks with libav's seek flags (1 backward, 2 byte position, 4 any frame) to `position`:
    // microseconds from the start of the selected stream (or of the file), or a byte offset.
    // A time seek on the selected stream without flag 4 leaves the file where decoding forward
    // passes every picture from `position` on. Still pictures cannot be seeked.
    bool Seek(int flags, int64_t position);
    // The current picture as a bitmap of the converter's depth (a copy into `bitmap`), turned
    // upright as the stream is shown (a turn by no quarter turn is left out).
    bool CopyFrameToBitmap(TBitmap& bitmap);
    // The time of the current picture in microseconds from the stream start, or kNoTime.
    int64_t CurrentFrameTime() const { return frameTime_; }

    int SelectedStream() const { return selectedStream_; }
    // Frame rate of the selected stream (0/0 when unknown) and the duration of one frame.
    int FrameRateNum() const { return frameRateNum_; }
    int FrameRateDen() const { return frameRateDen_; }
    int64_t FrameDurationUs() const;
    bool EndOfFile() const { return eof_; }
    bool PictureReady() const { return pictureReady_; }
    // The current picture's details (valid while PictureReady()).
    int PictureFormat() const { return pixelFormat_; }
    int PictureWidth() const { return width_; }
    int PictureHeight() const { return height_; }
    bool PictureKeyFrame() const { return keyFrame_; }
    int PictureType() const { return pictureType_; }
    int64_t PacketDTS() const { return packetDTS_; }
    int64_t PacketPTS() const { return packetPTS_; }
    int64_t PacketPosition() const { return packetPosition_; }

    // Deinterlaces every decoded picture (off by default; turns itself off when it fails).
    bool Deinterlace() const { return deinterlace_; }
    void SetDeinterlace(bool on) { deinterlace_ = on; }

    TFormatConverter& FormatConverter() { return converter_; }

protected:
    void ApplyScalerFlags(int64_t flags) override;

private:
    // Audio settings kept for audio decoding: channels, sample rate, sample format.
    struct TAudioDefaults {
        int Channels = 2;
        int SampleRate = 44100;
        int SampleFormat = 1;
    };

    int ResolveStreamIndex(int streamIndex);
    bool CheckSeekable();
    bool IsStillPicture();
    void TakeFrameRate(int streamIndex);
    void ResetPictureState();
    bool OpenVideoCodec(int streamIndex);
    void CloseVideoCodec();
    bool ReceivePicture(int streamIndex);
    bool FeedNextPacket(int streamIndex);
    bool FinishAtEndOfStream();
    void StorePicture(int streamIndex);
    int64_t ChoosePictureTimestamp() const;
    void DeinterlacePicture();
    bool ReserveDeinterlaceBuffer();
    int64_t ReferenceTime(bool useDuration);
    int64_t IOPosition();
    bool SeekFile(int streamIndex, int64_t target, int flags);
    void SettleBefore(int64_t position, int64_t target, int flags);
    void RewindTo(int64_t target, int flags);

    static constexpr int kMaxSettleAttempts = 12;
    int64_t StreamTarget(int flags, int64_t position);

    TFormatConverter converter_;
    bool deinterlace_ = false;
    AVFrame* deinterlaced_ = nullptr;
    int videoStream_ = -1;  // stream of the open codec
    int selectedStream_ = -1;
    int frameRateNum_ = 0;
    int frameRateDen_ = 0;
    TPictureTurn turn_;  // of the selected stream
    bool eof_ = false;
    bool flushing_ = false;
    int lastReadError_ = 0;
    // The current picture.
    AVFrame* picture_ = nullptr;
    AVFrame* decoded_ = nullptr;
    AVPacket* packet_ = nullptr;
    int pixelFormat_ = -1;
    int width_ = 0;
    int height_ = 0;
    bool keyFrame_ = false;
    int pictureType_ = 0;
    int64_t frameTime_ = kNoTime;
    int64_t packetDTS_ = kNoTime;
    int64_t packetPTS_ = kNoTime;
    int packetStream_ = -1;
    int64_t packetPosition_ = -1;
    bool pictureReady_ = false;
    bool pictureStored_ = false;
    int64_t currentTimestamp_ = kNoTime;  // stream time base, of the current picture
    int64_t previousTimestamp_ = kNoTime;
    int64_t previousTime_ = kNoTime;
    AVCodecContext* videoCodec_ = nullptr;
    TAudioDefaults audio_;
};
