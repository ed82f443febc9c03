#pragma once
// A conversion task: its option context and option variables, the library option sets, the
// file and stream tables, and the operations that parse option strings and open files.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FFUtils.h"
#include "engine/core/FFmpegException.h"
#include "engine/frames/FrameHook.h"
#include "engine/log/FFLog.h"
#include "engine/task/FFmpegFileTables.h"
#include "engine/task/FFmpegRunState.h"
#include "engine/task/options/FFmpegOptionDef.h"
#include "engine/task/options/FFmpegOptionsContext.h"

struct SwsContext;
struct AVDictionary;
struct AVFormatContext;
struct AVCodec;
struct TOutputOpening;

class TCustomFFmpeg {
public:
    TCustomFFmpeg();
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    // --- option strings -------------------------------------------------------------------
    void ParseOptions(const std::string& options);
    void ParsePresets(const std::string& presets);
    int ParseOption(TOptionsContext& o, const std::string& name, const char* arg);
    int ParseOptionList(const std::vector<std::string>& tokens, bool strict);
    const TOptionDef& FindOption(const std::string& name);
    int LocateOption(const std::vector<std::string>& tokens, const std::string& name);
    int SetGenericOption(const std::string& opt, const std::string& arg);
    void ResetOptions(TOptionsContext& o, bool keepRecordingTime, bool releaseOnly);
    const std::vector<TOptionDef>& OptionTable();

    // --- opening files --------------------------------------------------------------------
    int OpenInputFile(TOptionsContext* context, const std::string& fileName);
    int OpenOutputFile(const std::string& fileName, bool join);
    // Metadata of an output from an input by metadata specifiers ("g", "s:spec", "c:n", "p:n").
    bool CopyMetadata(const std::string& outspec, const std::string& inspec, TOptionsContext& o,
                      AVFormatContext* ic, AVFormatContext* oc);
    int CopyChapters(int inputIndex, int outputIndex, bool copyMetadata);
    bool ParseMetaSpecifier(const std::string& spec, char& type, int& index,
                            std::string& streamSpec);
    // Writes an input stream's extra data (an attachment) to a file.
    void DumpAttachment(int istIndex, const std::string& fileName);
    // Closes every file and frees every stream record of the task.
    void FreeFilesAndStreams();

    // Stores the text as LastError, logs it at llFatal and raises FFmpegException with it.
    [[noreturn]] void FatalError(const std::string& text);

    // --- the per-file option context and the last texts -----------------------------------
    TOptionsContext Options;
    std::string LastError;
    std::string LastParseError;  // kept per task: tasks may be parsed on different threads
    bool StrictOptions = true;

    // --- option variables (kept for the whole task) ---------------------------------------
    int BitsPerRawSample = 0;
    int VideoDiscard = 0;
    int SameQuant = 0;
    int DoDeinterlace = 0;
    int IntraDcPrecision = 8;
    int LoopInput = 0;
    int LoopOutput = -1;
    int QpHist = 0;
    int IntraOnly = 0;
    std::string VideoCodecName;
    std::string AudioCodecName;
    std::string SubtitleCodecName;
    int FileOverwrite = 0;
    int NoFileOverwrite = 0;
    int DoHexDump = 0;
    int DoPktDump = 0;
    int DoPsnr = 0;
    int DoPass = 0;
    std::string PassLogFilePrefix;
    int VideoSyncMethod = -1;
    int AudioSyncMethod = 0;
    float AudioDriftThreshold = 0.1f;
    int CopyTs = 0;
    int CopyTb = -1;
    int Shortest = 0;
    std::string VStatsFileName;
    int AudioVolume = 256;
    int ExitOnError = 0;
    int InputSync = 0;
    float DtsDeltaThreshold = 10.0f;
    int PrintStats = 1;

    // Bit depth of the hook and preview bitmaps (-VideoHookBitsPixel).
    int VideoHookBitsPixel = 24;
    // Set once a frame hook module was added with -vhook.
    bool UseFrameHook = false;
    // Frame hook modules added by -vhook, in order.
    TFrameHookList FrameHooks;

    // --- library option sets (emptied at every reset of the option context) --------------
    SwsContext* SwsOpts = nullptr;
    AVDictionary* FormatOpts = nullptr;
    AVDictionary* CodecOpts = nullptr;

    // --- file and stream tables -----------------------------------------------------------
    std::vector<TInputFile> InputFiles;
    std::vector<TInputStream> InputStreams;
    std::vector<TOutputFile> OutputFiles;
    std::vector<TOutputStream> OutputStreams;

    // --- the state of the task's work -------------------------------------------------------
    TTaskRunState Run;
    bool JoinMode = false;
    std::atomic<bool> StopRequest{false};
    int ReadTimeout = 30000;   // milliseconds
    int WriteTimeout = 30000;  // milliseconds

    // Called with the task and the input's format context right before its streams are probed.
    std::function<void(TCustomFFmpeg*, AVFormatContext*)> BeforeFindStreamInfo;

    // The libraries' interrupt callbacks for blocking input and output; opaque is the task.
    static int InputInterrupt(void* opaque);
    static int OutputInterrupt(void* opaque);
    AVIOInterruptCB InputInterruptCallback() { return {&TCustomFFmpeg::InputInterrupt, this}; }
    AVIOInterruptCB OutputInterruptCallback() { return {&TCustomFFmpeg::OutputInterrupt, this}; }

    // --- helpers shared by the opening steps ----------------------------------------------
    const AVCodec* FindCodecByName(const std::string& name, AVMediaType type, bool encoder);
    AVDictionary* FilterCodecOpts(AVDictionary* opts, const AVCodec* codec, AVFormatContext* s,
                                  AVStream* st);
    // The value of the last entry of the list whose specifier matches the stream.
    template <typename T>
    const T* MatchPerStreamOpt(const TSpecifierList<T>& list, AVFormatContext* s, AVStream* st);

    // The engine log, with this task as sender.
    void Log(TLogLevel level, const std::string& message);

private:
    std::vector<TOptionDef> optionTable_;
    bool optionTableBuilt_ = false;

    void BuildOptionTable();
    void CreateLibraryOptionSets();
    void ReleaseLibraryOptionSets();
    void StoreOptionValue(TOptionsContext& o, const TOptionDef& po, const std::string& name,
                          const std::string& arg, bool boolValue);
    int CallHandler(TOptionsContext& o, const TOptionDef& po, const std::string& name,
                    const std::string& arg);
    int ApplyPresetLine(TOptionsContext& o, const std::string& key, const std::string& value);
    int LogHandlerError(const std::string& message, int code = kErrorInvalidArgument);
    void LogLibraryError(const std::string& text);

    // handlers (option table rows whose target is a routine)
    int OptNotSupported(const std::string& opt, const std::string& arg);
    int OptIgnored(const std::string& opt, const std::string& arg);
    int OptAccepted(const std::string& opt, const std::string& arg);
    int OptCropRemoved(const std::string& opt, const std::string& arg);
    int OptPadRemoved(const std::string& opt, const std::string& arg);
    int OptVideoChannel(const std::string& opt, const std::string& arg);
    int OptVideoStandard(const std::string& opt, const std::string& arg);
    int OptVideoCodec(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptAudioCodec(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptSubtitleCodec(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptDataCodec(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptVideoFrames(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptAudioFrames(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptDataFrames(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptVideoFilters(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptAudioQScale(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptOldToNew(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptBitrate(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptQScale(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptPass(const std::string& opt, const std::string& arg);
    int OptPassLogFile(const std::string& opt, const std::string& arg);
    int OptVSync(const std::string& opt, const std::string& arg);
    int OptStreamId(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptMapChannel(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptAttach(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptRecordingTimestamp(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptTimeStart(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptTimeLength(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptVideoHookBitsPixel(const std::string& opt, const std::string& arg);
    int OptVideoHook(const std::string& opt, const std::string& arg);
    int OptVStats(const std::string& opt, const std::string& arg);
    int OptVStatsFile(const std::string& opt, const std::string& arg);
    int OptLogLevel(const std::string& opt, const std::string& arg);
    int OptCodecDebug(const std::string& opt, const std::string& arg);
    int OptMaxAlloc(const std::string& opt, const std::string& arg);
    int OptTarget(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptPreset(TOptionsContext& o, const std::string& opt, const std::string& arg);
    int OptDefault(const std::string& opt, const std::string& arg);
    int MapStreams(TOptionsContext& o, const std::string& opt, const std::string& arg);

    int SecondsOption(TOptionsContext& o, const std::string& opt, const std::string& arg,
                      const char* target);
    int TargetNorm(const std::string& arg, std::string& type);

    // opening inputs
    int OpenDemuxer(TOptionsContext& o, const std::string& fileName, AVFormatContext*& ic);
    int ProbeStreams(TOptionsContext& o, const std::string& fileName, AVFormatContext* ic);
    const AVCodec* ChooseDecoder(TOptionsContext& o, AVFormatContext* s, AVStream* st);
    void SetForcedDecoders(AVFormatContext* ic);
    void SeekToStart(AVFormatContext* ic, const std::string& fileName, int64_t timestamp);
    void AddInputStreams(TOptionsContext& o, AVFormatContext* ic);
    void AddInputStreamRecords(TOptionsContext& o, AVFormatContext* ic);
    void SetDemuxerOptions(TOptionsContext& o);

    // opening outputs
    bool SelectMappedStreams(TOptionsContext& o, AVFormatContext* oc, bool joining);
    void SelectStreamsAutomatically(TOptionsContext& o, AVFormatContext* oc, bool joining);
    int NewStreamOfType(TOptionsContext& o, AVFormatContext* oc, AVMediaType type, int sourceIndex);
    int NewOutputStream(TOptionsContext& o, AVFormatContext* oc, AVMediaType type, int sourceIndex);
    int NewVideoStream(TOptionsContext& o, AVFormatContext* oc, int sourceIndex);
    int NewAudioStream(TOptionsContext& o, AVFormatContext* oc, int sourceIndex);
    int NewSubtitleStream(TOptionsContext& o, AVFormatContext* oc, int sourceIndex);
    int NewDataStream(TOptionsContext& o, AVFormatContext* oc, int sourceIndex);
    int NewAttachmentStream(TOptionsContext& o, AVFormatContext* oc);
    void ChooseEncoder(TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost);
    void ApplyVideoSettings(TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost);
    void ApplyAudioChannelMaps(TOptionsContext& o, TOutputStream& ost);
    void LinkSource(int ostIndex, int sourceIndex, int syncIndex);
    bool AddAttachments(TOptionsContext& o, AVFormatContext* oc);
    bool ApplyMetadataMaps(TOptionsContext& o, AVFormatContext* oc);
    bool ApplyChapters(TOptionsContext& o, int outputIndex);
    void CopyAutomaticMetadata(TOptionsContext& o, int outputIndex);
    bool ApplyMetadataOptions(TOptionsContext& o, AVFormatContext* oc);
    bool MetadataError(const std::string& message);
    bool OpenOutputIO(TOptionsContext& o, int outputIndex, const std::string& fileName);
    bool CreateMuxer(TOutputOpening& opening);
    void AppendOutputFileRecord(TOutputOpening& opening, int outputIndex);
    int AbandonOutput(TOutputOpening& opening);

    int CheckInterrupt(const TIOWatchdog& watchdog, int timeoutMs, bool input);
};

// The stream specifier check shared by every per-stream consumer: 1 when the stream matches,
// 0 when not, kErrorInvalidArgument for a malformed specifier.
int check_stream_specifier(AVFormatContext* s, AVStream* st, const std::string& spec);

template <typename T>
const T* TCustomFFmpeg::MatchPerStreamOpt(const TSpecifierList<T>& list, AVFormatContext* s,
                                          AVStream* st) {
    const T* found = nullptr;
    for (const TSpecifierOpt<T>& entry : list) {
        const int ret = check_stream_specifier(s, st, entry.Specifier);
        if (ret > 0)
            found = &entry.Value;
        else if (ret < 0)
            FatalError(ErrorText("check_stream_specifier", ret));
    }
    return found;
}
