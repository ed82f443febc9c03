// Opening an output: the muxer context, the choice of input streams that feed it, the output
// streams, attachments, the output file, metadata and chapters. A failed opening leaves
// nothing behind: no file record, no stream records, no empty file on disk.
#include <algorithm>
#include <filesystem>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/core/UnicodeProtocol.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/open/FFmpegOpenSteps.h"

namespace {

// What a failed opening has to undo.
struct TOutputOpening {
    AVFormatContext* Ctx = nullptr;
    size_t FirstStream = 0;
    bool FileRecordAppended = false;
    std::string FileName;
};

bool IsMediaType(const TOptionsContext& o, AVMediaType type) {
    switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            return o.VideoDisable != 0;
        case AVMEDIA_TYPE_AUDIO:
            return o.AudioDisable != 0;
        case AVMEDIA_TYPE_SUBTITLE:
            return o.SubtitleDisable != 0;
        case AVMEDIA_TYPE_DATA:
            return o.DataDisable != 0;
        default:
            return false;
    }
}

std::string LocalPath(const std::string& name) {
    return name.rfind("file:", 0) == 0 ? name.substr(5) : name;
}

void LinkSource(TCustomFFmpeg& task, int ostIndex, int sourceIndex, int syncIndex) {
    task.OutputStreams[ostIndex].SourceIndex = sourceIndex;
    task.OutputStreams[ostIndex].SyncIstIndex = syncIndex;
    task.InputStreams[sourceIndex].Discard = false;
}

bool SelectMappedStreams(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                         bool joining) {
    for (const TStreamMap& map : o.StreamMaps) {
        if (map.Disabled) continue;
        if (joining && map.FileIndex != 0) continue;
        const int istIndex = task.InputFiles[map.FileIndex].IstIndex + map.StreamIndex;
        const AVMediaType type = task.InputStreams[istIndex].St->codecpar->codec_type;
        if (IsMediaType(o, type)) continue;
        const int ostIndex = NewStreamOfType(task, o, oc, type, istIndex);
        if (ostIndex < 0) {
            task.LastError = StrFormat("Cannot map stream #%d:%d - unsupported type.",
                                       map.FileIndex, map.StreamIndex);
            return false;
        }
        LinkSource(task, ostIndex, istIndex,
                   task.InputFiles[map.SyncFileIndex].IstIndex + map.SyncStreamIndex);
    }
    return true;
}

// The largest video stream, the audio stream with most channels (the first of equals wins)
// and the first subtitle stream, each when the muxer takes that kind of stream.
void SelectStreamsAutomatically(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                                bool joining) {
    const AVOutputFormat* format = oc->oformat;
    int bestVideo = -1, bestAudio = -1, firstSubtitle = -1;
    int64_t bestArea = 0;
    int bestChannels = 0;
    for (size_t i = 0; i < task.InputStreams.size(); i++) {
        const TInputStream& ist = task.InputStreams[i];
        if (joining && ist.FileIndex != 0) continue;
        const AVCodecParameters* par = ist.St->codecpar;
        const int64_t area = static_cast<int64_t>(par->width) * par->height;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && area > bestArea) {
            bestArea = area;
            bestVideo = static_cast<int>(i);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO &&
                   par->ch_layout.nb_channels > bestChannels) {
            bestChannels = par->ch_layout.nb_channels;
            bestAudio = static_cast<int>(i);
        } else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE && firstSubtitle < 0) {
            firstSubtitle = static_cast<int>(i);
        }
    }
    if (!o.VideoDisable && format->video_codec != AV_CODEC_ID_NONE && bestVideo >= 0)
        LinkSource(task, NewVideoStream(task, o, oc, bestVideo), bestVideo, bestVideo);
    if (!o.AudioDisable && format->audio_codec != AV_CODEC_ID_NONE && bestAudio >= 0)
        LinkSource(task, NewAudioStream(task, o, oc, bestAudio), bestAudio, bestAudio);
    if (!o.SubtitleDisable &&
        (format->subtitle_codec != AV_CODEC_ID_NONE || !task.SubtitleCodecName.empty()) &&
        firstSubtitle >= 0)
        LinkSource(task, NewSubtitleStream(task, o, oc, firstSubtitle), firstSubtitle,
                   firstSubtitle);
}

bool OpenOutputIO(TCustomFFmpeg& task, TOptionsContext& o, int outputIndex,
                  const std::string& fileName) {
    TOutputFile& of = task.OutputFiles[outputIndex];
    AVFormatContext* oc = of.Ctx;
    if ((oc->oformat->flags & AVFMT_NEEDNUMBER) &&
        !libav::av_filename_number_test(fileName.c_str())) {
        task.LastError = ErrorText(fileName, kErrorInvalidArgument);
        return false;
    }
    if (!(oc->oformat->flags & AVFMT_NOFILE)) {
        task.Run.OutputIOStart.Start();
        const int ret = libav::avio_open2(&oc->pb, WideToLibName(fileName).c_str(), AVIO_FLAG_WRITE,
                                          &oc->interrupt_callback, &of.Opts);
        if (ret < 0) {
            task.LastError = ErrorText(fileName, ret);
            return false;
        }
    }
    if (o.MuxPreload != 0)
        libav::av_dict_set(&of.Opts, "preload",
                           StrFormat("%d", static_cast<int>(o.MuxPreload * AV_TIME_BASE)).c_str(),
                           0);
    oc->max_delay = static_cast<int>(o.MuxMaxDelay * AV_TIME_BASE);
    if (task.LoopOutput >= 0) {
        task.Log(llWarning, "-loop_output is deprecated, use -loop");
        // the muxers that loop take it as their private "loop" option
        const AVClass* muxerClass = oc->oformat->priv_class;
        if (muxerClass &&
            libav::av_opt_find(&muxerClass, "loop", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            libav::av_dict_set(&of.Opts, "loop", StrFormat("%d", task.LoopOutput).c_str(), 0);
    }
    return true;
}

// Undoes a failed opening: the file record and the stream records it appended, the output
// file it created (when still empty) and the muxer context; the option context is reset.
int AbandonOutput(TCustomFFmpeg& task, TOutputOpening& opening) {
    if (opening.FileRecordAppended) {
        libav::av_dict_free(&task.OutputFiles.back().Opts);
        task.OutputFiles.pop_back();
    }
    for (size_t i = opening.FirstStream; i < task.OutputStreams.size(); i++) {
        TOutputStream& ost = task.OutputStreams[i];
        libav::avcodec_free_context(&ost.EncoderContext);
        for (AVBSFContext*& bsf : ost.BitstreamFilters) libav::av_bsf_free(&bsf);
        libav::av_dict_free(&ost.Opts);
        if (ost.SourceIndex >= 0) task.InputStreams[ost.SourceIndex].Discard = true;
    }
    task.OutputStreams.resize(opening.FirstStream);
    if (opening.Ctx) {
        if (opening.Ctx->pb && !(opening.Ctx->oformat->flags & AVFMT_NOFILE)) {
            libav::avio_closep(&opening.Ctx->pb);
            std::error_code ec;
            const std::string path = LocalPath(opening.FileName);
            if (std::filesystem::is_regular_file(path, ec) &&
                std::filesystem::file_size(path, ec) == 0)
                std::filesystem::remove(path, ec);
        }
        libav::avformat_free_context(opening.Ctx);
        opening.Ctx = nullptr;
    }
    task.ResetOptions(task.Options, false, false);
    return kErrorOther;
}

bool CreateMuxer(TCustomFFmpeg& task, TOutputOpening& opening) {
    const TOptionsContext& o = task.Options;
    const AVOutputFormat* forced =
        o.FormatName.empty() ? nullptr : FindFrameOutputFormat(o.FormatName.c_str());
    const char* formatName = forced || o.FormatName.empty() ? nullptr : o.FormatName.c_str();
    const int ret = libav::avformat_alloc_output_context2(&opening.Ctx, forced, formatName,
                                                          WideToLibName(opening.FileName).c_str());
    if (!opening.Ctx) {
        task.LastError = ErrorText(opening.FileName, ret < 0 ? ret : kErrorOutOfMemory);
        return false;
    }
    opening.Ctx->interrupt_callback = task.OutputInterruptCallback();
    return true;
}

void AppendOutputFileRecord(TCustomFFmpeg& task, TOutputOpening& opening, int outputIndex) {
    const TOptionsContext& o = task.Options;
    TOutputFile of;
    of.Ctx = opening.Ctx;
    of.OstIndex =
        static_cast<int>(task.OutputStreams.size()) - static_cast<int>(opening.Ctx->nb_streams);
    of.RecordingTime = o.RecordingTime;
    of.StartTime = o.StartTime;
    of.LimitFilesize = o.LimitFilesize;
    libav::av_dict_copy(&of.Opts, task.FormatOpts, 0);
    GrowArray(task.OutputFiles, outputIndex + 1);
    task.OutputFiles[outputIndex] = of;
    opening.FileRecordAppended = true;
}

}  // namespace

int TCustomFFmpeg::OpenOutputFile(const std::string& fileName, bool join) {
    TOptionsContext& o = Options;
    TOutputOpening opening;
    opening.FileName = fileName;
    opening.FirstStream = OutputStreams.size();
    const int outputIndex = static_cast<int>(OutputFiles.size());
    try {
        if (JoinMode || (join && InputFiles.size() > 1 && !OutputFiles.empty())) {
            LastError = "Cannot join more than one output file.";
            return AbandonOutput(*this, opening);
        }
        const bool joining = join && InputFiles.size() > 1;
        if (!CreateMuxer(*this, opening)) return AbandonOutput(*this, opening);
        AVFormatContext* oc = opening.Ctx;
        if (o.RecordingTime != kNoTimeLimit) {
            // a piece that goes on past the inputs' end ends with them
            const int64_t length = Run.TotalDuration >= 0
                                       ? std::min(o.RecordingTime, Run.TotalDuration)
                                       : o.RecordingTime;
            Run.ProgressDuration = std::max(Run.ProgressDuration, length);
        }
        if (!o.StreamMaps.empty()) {
            if (!SelectMappedStreams(*this, o, oc, joining)) return AbandonOutput(*this, opening);
        } else {
            SelectStreamsAutomatically(*this, o, oc, joining);
        }
        if (!AddAttachments(*this, o, oc)) return AbandonOutput(*this, opening);
        AppendOutputFileRecord(*this, opening, outputIndex);
        if (!OpenOutputIO(*this, o, outputIndex, fileName) || !ApplyMetadataMaps(*this, o, oc) ||
            !ApplyChapters(*this, o, outputIndex))
            return AbandonOutput(*this, opening);
        CopyAutomaticMetadata(*this, o, outputIndex);
        if (!ApplyMetadataOptions(*this, o, oc)) return AbandonOutput(*this, opening);
        // joining keeps the context for the join preparation
        if (joining)
            JoinMode = true;
        else
            ResetOptions(o, false, false);
        return outputIndex;
    } catch (...) {
        AbandonOutput(*this, opening);
        throw;
    }
}
