// Opening an input: demuxer and its options, forced decoders, probing, the start seek, and one
// input stream record per stream.
#include <algorithm>

#include "engine/core/ErrorCodes.h"
#include "engine/core/ShownPicture.h"
#include "engine/core/TextFormat.h"
#include "engine/core/UnicodeProtocol.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/open/FFmpegOpenSteps.h"
#include "engine/task/options/FFmpegOptionValues.h"
#include "platform/FileSystem.h"

namespace {

// Packets of the video stream read after a seek in search of a key frame.
constexpr int kKeyFrameReach = 1000;

// Frees a demuxer context that did not make it into the input table.
struct TInputContextGuard {
    AVFormatContext* Ctx = nullptr;
    bool Opened = false;
    ~TInputContextGuard() {
        if (!Ctx) return;
        if (Opened)
            libav::avformat_close_input(&Ctx);
        else
            libav::avformat_free_context(Ctx);
    }
};

// A dictionary freed with it.
struct TDictionary {
    AVDictionary* Dict = nullptr;
    ~TDictionary() { libav::av_dict_free(&Dict); }
};

// Per-stream probing options, freed with the array.
struct TStreamOptions {
    std::vector<AVDictionary*> Dicts;
    ~TStreamOptions() {
        for (AVDictionary*& d : Dicts) libav::av_dict_free(&d);
    }
};

template <typename T>
const T* LastEntry(const TSpecifierList<T>& list) {
    return list.empty() ? nullptr : &list.back().Value;
}

void SetDemuxerOptions(TCustomFFmpeg& task, TOptionsContext& o) {
    if (const int* rate = LastEntry(o.AudioSampleRates))
        libav::av_dict_set(&task.FormatOpts, "sample_rate", StrFormat("%d", *rate).c_str(), 0);
    if (const int* channels = LastEntry(o.AudioChannels))
        libav::av_dict_set(&task.FormatOpts, "channels", StrFormat("%d", *channels).c_str(), 0);
    if (const std::string* rate = LastEntry(o.FrameRates))
        libav::av_dict_set(&task.FormatOpts, "framerate", rate->c_str(), 0);
    if (const std::string* size = LastEntry(o.FrameSizes))
        libav::av_dict_set(&task.FormatOpts, "video_size", size->c_str(), 0);
    if (const std::string* format = LastEntry(o.FramePixFmts))
        libav::av_dict_set(&task.FormatOpts, "pixel_format", format->c_str(), 0);
}

void SetForcedDecoders(TCustomFFmpeg& task, AVFormatContext* ic) {
    ic->video_codec_id =
        task.VideoCodecName.empty()
            ? AV_CODEC_ID_NONE
            : FindCodecByName(task, task.VideoCodecName, AVMEDIA_TYPE_VIDEO, false)->id;
    ic->audio_codec_id =
        task.AudioCodecName.empty()
            ? AV_CODEC_ID_NONE
            : FindCodecByName(task, task.AudioCodecName, AVMEDIA_TYPE_AUDIO, false)->id;
    ic->subtitle_codec_id =
        task.SubtitleCodecName.empty()
            ? AV_CODEC_ID_NONE
            : FindCodecByName(task, task.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false)->id;
}

const AVCodec* ChooseDecoder(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* s,
                             AVStream* st) {
    if (const std::string* name = MatchPerStreamOpt(task, o.CodecNames, s, st)) {
        const AVCodec* codec = FindCodecByName(task, *name, st->codecpar->codec_type, false);
        st->codecpar->codec_id = codec->id;
        return codec;
    }
    return libav::avcodec_find_decoder(st->codecpar->codec_id);
}

int SeekFile(AVFormatContext* ic, int64_t timestamp) {
    return ic->iformat->read_seek2
               ? libav::avformat_seek_file(ic, -1, INT64_MIN, timestamp, INT64_MAX, 0)
               : libav::av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD);
}

// The first key frame of the stream read from where the file stands; false when none comes
// within reach.
bool ReadKeyFrame(AVFormatContext* ic, int stream, int64_t& pts) {
    AVPacket* packet = libav::av_packet_alloc();
    if (!packet) return false;
    bool found = false;
    for (int read = 0; read < kKeyFrameReach && libav::av_read_frame(ic, packet) >= 0;) {
        if (packet->stream_index == stream) {
            ++read;
            found = packet->flags & AV_PKT_FLAG_KEY;
            pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        }
        libav::av_packet_unref(packet);
        if (found) break;
    }
    libav::av_packet_free(&packet);
    return found && pts != AV_NOPTS_VALUE;
}

// Seeks so that the key frame the picture at `timestamp` needs comes first. A seek lands on a
// key frame at or before the timestamp when the file has an index of them, but a format without
// one (a transport stream) lands on whatever packet was decoded last before it, where the
// decoder can start only at the next key frame, maybe long after the timestamp. So the first
// key frame of the video players show is read after the seek: while it comes after the
// timestamp, the file is sought further back (1 s, 2 s, 4 s, ...). Returns the seek's result.
int SeekBeforeKeyFrame(AVFormatContext* ic, int64_t timestamp) {
    const int video = DefaultVideoStreamOf(*ic);
    const int64_t first = ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0;
    int64_t at = timestamp;
    int64_t back = AV_TIME_BASE;
    int ret = SeekFile(ic, at);
    while (ret >= 0 && video >= 0) {
        int64_t pts = 0;
        const bool found = ReadKeyFrame(ic, video, pts);
        const AVRational tb = ic->streams[video]->time_base;
        // no key frame within reach: nothing better to be had than the seek itself; sought
        // before the file's start: at its start
        if (!found || libav::av_rescale_q(pts, tb, AV_TIME_BASE_Q) <= timestamp || at < first)
            return SeekFile(ic, at);
        const int64_t earlier = timestamp - back;
        back *= 2;
        ret = SeekFile(ic, earlier);
        if (ret < 0) return SeekFile(ic, at);
        at = earlier;
    }
    return ret;
}

void SeekToStart(TCustomFFmpeg& task, AVFormatContext* ic, const std::string& fileName,
                 int64_t timestamp) {
    task.Run.InputIOStart.Start();
    const int ret = SeekBeforeKeyFrame(ic, timestamp);
    if (ret < 0)
        task.Log(llWarning, StrFormat("%s: could not seek to position %0.3f", fileName.c_str(),
                                      static_cast<double>(timestamp) / AV_TIME_BASE));
}

// Forced format, demuxer options, forced decoders and the interrupt callback; then the
// demuxer reads the file's header (probing further than libavformat's default with
// `probeLonger`). Returns 0 or the library's code (the message in LastError).
int OpenDemuxer(TCustomFFmpeg& task, TOptionsContext& o, const std::string& fileName,
                AVFormatContext*& ic, bool probeLonger) {
    const AVInputFormat* forcedFormat = nullptr;
    if (!o.FormatName.empty()) {
        forcedFormat = libav::av_find_input_format(o.FormatName.c_str());
        if (!forcedFormat) {
            task.LastError = StrFormat("Unknown input format: \"%s\"", o.FormatName.c_str());
            task.Log(llFatal, task.LastError);
            return kErrorInvalidArgument;
        }
    }
    if (IsPipeOrSocket(fileName)) {
        // Opening would wait for a writer for ever; the time-out cannot reach that call.
        task.LastError = fileName + ": Cannot read from a pipe or socket";
        task.Log(llFatal, task.LastError);
        return kErrorInvalidArgument;
    }
    ic = libav::avformat_alloc_context();
    if (!ic) {
        task.LastError = "avformat_alloc_context() failed";
        task.Log(llFatal, task.LastError);
        return kErrorOutOfMemory;
    }
    SetDemuxerOptions(task, o);
    SetForcedDecoders(task, ic);
    if (probeLonger) ProbeLonger(*ic);
    ic->flags |= AVFMT_FLAG_NONBLOCK;
    ic->interrupt_callback = task.InputInterruptCallback();
    if (task.LoopInput) {
        task.Log(llWarning,
                 "-loop_input is deprecated, use -loop 1\r\n"
                 "Note, both loop options only work with -f image2");
        // the demuxers that loop take it as their private "loop" option
        const AVClass* demuxerClass = forcedFormat ? forcedFormat->priv_class : nullptr;
        if (demuxerClass &&
            libav::av_opt_find(&demuxerClass, "loop", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            libav::av_dict_set(&task.FormatOpts, "loop", "1", 0);
    }
    task.Run.InputIOStart.Start();
    const int ret = libav::avformat_open_input(&ic, WideToLibName(fileName).c_str(), forcedFormat,
                                               &task.FormatOpts);
    if (ret < 0) {
        task.LastError = ErrorText(fileName, ret);
        task.Log(llFatal, task.LastError);
    }
    return ret;
}

// Chooses every stream's decoder and probes the streams with the codec options that apply
// to each.
int ProbeStreams(TCustomFFmpeg& task, TOptionsContext& o, const std::string& fileName,
                 AVFormatContext* ic) {
    TStreamOptions probeOptions;
    probeOptions.Dicts.resize(ic->nb_streams, nullptr);
    for (unsigned i = 0; i < ic->nb_streams; i++) {
        const AVCodec* decoder = ChooseDecoder(task, o, ic, ic->streams[i]);
        probeOptions.Dicts[i] = FilterCodecOpts(task.CodecOpts, decoder, ic, ic->streams[i]);
    }
    if (task.BeforeFindStreamInfo) task.BeforeFindStreamInfo(&task, ic);
    task.Run.InputIOStart.Start();
    const int ret = libav::avformat_find_stream_info(ic, probeOptions.Dicts.data());
    if (ret < 0) {
        task.LastError = StrFormat("%s: could not find codec parameters", fileName.c_str());
        task.Log(llFatal, task.LastError);
    }
    return ret;
}

void AddInputStreamRecords(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* ic) {
    for (unsigned i = 0; i < ic->nb_streams; i++) {
        AVStream* st = ic->streams[i];
        TInputStream ist;
        ist.FileIndex = static_cast<int>(task.InputFiles.size());
        ist.St = st;
        ist.Discard = true;
        ist.Decoder = ChooseDecoder(task, o, ic, st);
        ist.DecoderOpts = FilterCodecOpts(task.CodecOpts, ist.Decoder, ic, st);
        if (const double* scale = MatchPerStreamOpt(task, o.TsScales, ic, st)) ist.TsScale = *scale;
        if (const std::string* tag = MatchPerStreamOpt(task, o.CodecTags, ic, st))
            st->codecpar->codec_tag = ParseCodecTag(*tag);
        const AVMediaType type = st->codecpar->codec_type;
        switch (type) {
            case AVMEDIA_TYPE_VIDEO:
                if (o.VideoDisable)
                    st->discard = AVDISCARD_ALL;
                else if (task.VideoDiscard)
                    st->discard = static_cast<AVDiscard>(task.VideoDiscard);
                break;
            case AVMEDIA_TYPE_AUDIO:
                if (o.AudioDisable) st->discard = AVDISCARD_ALL;
                break;
            case AVMEDIA_TYPE_DATA:
                if (o.DataDisable) st->discard = AVDISCARD_ALL;
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                if (o.SubtitleDisable) st->discard = AVDISCARD_ALL;
                break;
            case AVMEDIA_TYPE_ATTACHMENT:
            case AVMEDIA_TYPE_UNKNOWN:
                break;
            default:
                libav::av_dict_free(&ist.DecoderOpts);
                throw FFmpegException("Never occur");
        }
        if (!ist.Decoder && (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO ||
                             type == AVMEDIA_TYPE_SUBTITLE))
            ist.Decoder = libav::avcodec_find_decoder(st->codecpar->codec_id);
        ist.DecoderContext = libav::avcodec_alloc_context3(ist.Decoder);
        if (ist.DecoderContext)
            libav::avcodec_parameters_to_context(ist.DecoderContext, st->codecpar);
        GrowArray(task.InputStreams, static_cast<int>(task.InputStreams.size()) + 1);
        task.InputStreams.back() = ist;
    }
}

void AddInputStreams(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* ic) {
    const size_t firstNew = task.InputStreams.size();
    try {
        AddInputStreamRecords(task, o, ic);
    } catch (...) {
        // the demuxer is closed again: no record may point into it
        for (size_t i = firstNew; i < task.InputStreams.size(); i++) {
            libav::avcodec_free_context(&task.InputStreams[i].DecoderContext);
            libav::av_dict_free(&task.InputStreams[i].DecoderOpts);
        }
        task.InputStreams.resize(firstNew);
        throw;
    }
}

// Opens the demuxer and probes the streams; once more, probing further, when the video stream
// players show was not reached (it starts long after the others). Returns 0 or the library's
// code (the message in LastError).
int OpenAndProbe(TCustomFFmpeg& task, TOptionsContext& o, const std::string& fileName,
                 TInputContextGuard& guard) {
    // opening takes the options it uses out of the task's; a second opening needs them all
    TDictionary kept;
    libav::av_dict_copy(&kept.Dict, task.FormatOpts, 0);
    for (const bool probeLonger : {false, true}) {
        if (probeLonger) {
            task.Log(llInfo, fileName + ": the video starts late, probing further");
            libav::avformat_close_input(&guard.Ctx);
            guard.Opened = false;
            libav::av_dict_free(&task.FormatOpts);
            libav::av_dict_copy(&task.FormatOpts, kept.Dict, 0);
        }
        int ret = OpenDemuxer(task, o, fileName, guard.Ctx, probeLonger);
        if (ret < 0) return ret;  // the library freed the context
        guard.Opened = true;
        if (const AVDictionaryEntry* e =
                libav::av_dict_get(task.FormatOpts, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
            const std::string message = StrFormat("Option %s not found.", e->key);
            if (task.StrictOptions) task.FatalError(message);
            task.LastError = message;
        }
        ret = ProbeStreams(task, o, fileName, guard.Ctx);
        if (ret < 0 || !VideoNotProbed(*guard.Ctx)) return ret;
    }
    return 0;
}

}  // namespace

int TCustomFFmpeg::OpenInputFile(TOptionsContext* context, const std::string& fileName) {
    TOptionsContext& o = context ? *context : Options;
    TInputContextGuard guard;
    int ret = OpenAndProbe(*this, o, fileName, guard);
    if (ret < 0) return ret;
    AVFormatContext* ic = guard.Ctx;

    int64_t timestamp = o.StartTime;
    if (ic->start_time != AV_NOPTS_VALUE) timestamp += ic->start_time;
    if (o.StartTime != 0) SeekToStart(*this, ic, fileName, timestamp);

    AddInputStreams(*this, o, ic);
    const int fileIndex = static_cast<int>(InputFiles.size());
    libav::av_dump_format(ic, fileIndex, fileName.c_str(), 0);
    if (ic->duration != AV_NOPTS_VALUE)
        Run.TotalDuration = std::max(Run.TotalDuration, ic->duration - o.StartTime);

    TInputFile file;
    file.Ctx = ic;
    file.NbStreams = static_cast<int>(ic->nb_streams);
    file.IstIndex = static_cast<int>(InputStreams.size()) - file.NbStreams;
    file.TsOffset = CopyTs ? o.InputTsOffset : o.InputTsOffset - timestamp;
    file.RateEmu = o.RateEmu;
    file.Duration = ic->duration;
    GrowArray(InputFiles, fileIndex + 1);
    InputFiles[fileIndex] = file;
    guard.Ctx = nullptr;  // owned by the input table from here on

    for (const TSpecifierOpt<std::string>& entry : o.DumpAttachments)
        for (int j = 0; j < file.NbStreams; j++)
            if (check_stream_specifier(ic, ic->streams[j], entry.Specifier) == 1)
                DumpAttachment(file.IstIndex + j, entry.Value);

    ResetOptions(o, true, false);
    return fileIndex;
}
