// Join: several inputs converted one after another into one output. The output was opened for
// the first input; each further input gets a group of output streams of its own (copies of the
// first group's, sharing its muxer streams and encoders). At the end of an input the loop
// moves on to the next group, whose timestamps continue where the last one ended.
#include "engine/task/FFmpegJoin.h"

#include <filesystem>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegDecodePacket.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegStreamRelease.h"
#include "engine/task/FFmpegTask.h"

namespace {

// A stream record of a new group: the settings of its group-0 stream, nothing of its run.
TOutputStream GroupCopyOf(const TOutputStream& ost, int baseIndex, int fileIndex) {
    TOutputStream copy;
    copy.FileIndex = fileIndex;
    copy.Index = ost.Index;
    copy.St = ost.St;
    copy.EncoderContext = ost.EncoderContext;
    copy.Enc = ost.Enc;
    copy.StreamCopy = ost.StreamCopy;
    copy.FrameRate = ost.FrameRate;
    copy.ForceFps = ost.ForceFps;
    copy.TopFieldFirst = ost.TopFieldFirst;
    copy.FrameAspectRatio = ost.FrameAspectRatio;
    copy.SwsFlags = ost.SwsFlags;
    copy.AvFilter = ost.AvFilter;
    std::copy(std::begin(ost.AudioChannelsMap), std::end(ost.AudioChannelsMap),
              copy.AudioChannelsMap);
    copy.AudioChannelsMapped = ost.AudioChannelsMapped;
    copy.RematrixVolume = ost.RematrixVolume;
    copy.MaxFrames = ost.MaxFrames;
    copy.AttachmentFilename = ost.AttachmentFilename;
    copy.CopyInitialNonkeyframes = ost.CopyInitialNonkeyframes;
    copy.JoinBase = baseIndex;
    libav::av_dict_copy(&copy.Opts, ost.Opts, 0);
    return copy;
}

bool TypeDisabled(const TOptionsContext& o, AVMediaType type) {
    switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            return o.VideoDisable;
        case AVMEDIA_TYPE_AUDIO:
            return o.AudioDisable;
        case AVMEDIA_TYPE_SUBTITLE:
            return o.SubtitleDisable;
        case AVMEDIA_TYPE_DATA:
            return o.DataDisable;
        default:
            return false;
    }
}

bool Mappable(AVMediaType type) {
    return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_DATA ||
           type == AVMEDIA_TYPE_SUBTITLE || type == AVMEDIA_TYPE_ATTACHMENT;
}

// Binds the first copy of the group still without source whose type is the stream's.
void Bind(TCustomFFmpeg& task, int first, int count, int istIndex) {
    const AVMediaType type = task.InputStreams[istIndex].St->codecpar->codec_type;
    for (int k = first; k < first + count; k++) {
        TOutputStream& copy = task.OutputStreams[k];
        if (copy.SourceIndex >= 0 || copy.EncoderContext->codec_type != type) continue;
        copy.SourceIndex = copy.SyncIstIndex = istIndex;
        task.InputStreams[istIndex].Discard = false;
        return;
    }
}

// The -map entries of the input bind the copies. Returns 0 or a failure.
int BindMappedStreams(TCustomFFmpeg& task, int inputIndex, int first, int count) {
    const TOptionsContext& o = task.Options;
    for (const TStreamMap& map : o.StreamMaps) {
        if (map.Disabled || map.FileIndex != inputIndex) continue;
        const int istIndex = task.InputFiles[inputIndex].IstIndex + map.StreamIndex;
        const AVMediaType type = task.InputStreams[istIndex].St->codecpar->codec_type;
        if (TypeDisabled(o, type)) continue;
        if (!Mappable(type))
            return FailStep(task, kErrorOther,
                            StrFormat("Cannot map stream #%d:%d - unsupported type.", map.FileIndex,
                                      map.StreamIndex));
        Bind(task, first, count, istIndex);
    }
    return 0;
}

// As for the first input: the largest picture, the most channels, the first subtitles.
void BindStreamsAutomatically(TCustomFFmpeg& task, int inputIndex, int first, int count) {
    const TInputFile& file = task.InputFiles[inputIndex];
    int video = -1, audio = -1, subtitle = -1;
    int64_t bestArea = 0;
    int bestChannels = 0;
    for (int j = 0; j < file.NbStreams; j++) {
        const int index = file.IstIndex + j;
        const AVCodecParameters* par = task.InputStreams[index].St->codecpar;
        const int64_t area = static_cast<int64_t>(par->width) * par->height;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && area > bestArea) {
            bestArea = area;
            video = index;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO &&
                   par->ch_layout.nb_channels > bestChannels) {
            bestChannels = par->ch_layout.nb_channels;
            audio = index;
        } else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE && subtitle < 0) {
            subtitle = index;
        }
    }
    for (int index : {video, audio, subtitle})
        if (index >= 0) Bind(task, first, count, index);
}

// Undoes the join: the output is closed (and removed when still empty) and every output
// record freed.
int AbandonJoin(TCustomFFmpeg& task) {
    std::string path;
    if (!task.OutputFiles.empty() && task.OutputFiles[0].Ctx) {
        AVFormatContext* oc = task.OutputFiles[0].Ctx;
        if (oc->pb && !(oc->oformat->flags & AVFMT_NOFILE)) {
            libav::avio_closep(&oc->pb);
            path = oc->url ? oc->url : "";
            if (path.rfind("file:", 0) == 0) path = path.substr(5);
        }
    }
    ReleaseStreamRunResources(task);
    FreeOutputs(task);
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_regular_file(path, ec) &&
        std::filesystem::file_size(path, ec) == 0)
        std::filesystem::remove(path, ec);
    task.ResetOptions(task.Options, false, false);
    task.JoinMode = false;
    task.Run.StreamsPerInput = 0;
    return kErrorOther;
}

// Where the streams of a group have got to (microseconds): what was given to the encoders,
// which go on running across the switch, or what was written of copied streams.
int64_t GroupEnd(TCustomFFmpeg& task, int first, int count) {
    int64_t end = 0;
    for (int k = first; k < first + count; k++) {
        TOutputStream& ost = task.OutputStreams[k];
        const int64_t time =
            ost.EncodingNeeded
                ? libav::av_rescale_q(ost.SyncOpts, ost.EncoderContext->time_base, AV_TIME_BASE_Q)
                : EncodingStream(task, ost).MuxedTime;
        end = std::max(end, time);
    }
    return end;
}

// Adds the stream group of input `inputIndex`: copies of the first group's output streams bound
// to that input's streams, and an output file record sharing output 0's muxer. Returns the new
// output file's index, or a failure (FFmpegStepFailure.h).
int JoinAddInput(TCustomFFmpeg& task, int inputIndex) {
    const int count = task.Run.StreamsPerInput;
    const int first = OutputStreamCount(task);
    const int fileIndex = static_cast<int>(task.OutputFiles.size());
    for (int k = 0; k < count; k++) {
        TOutputStream copy = GroupCopyOf(task.OutputStreams[k], k, fileIndex);
        task.OutputStreams.push_back(copy);
    }
    if (!task.Options.StreamMaps.empty()) {
        const int ret = BindMappedStreams(task, inputIndex, first, count);
        if (ret < 0) return ret;
    } else {
        BindStreamsAutomatically(task, inputIndex, first, count);
    }
    for (int k = first; k < first + count; k++) {
        const TOutputStream& copy = task.OutputStreams[k];
        if (copy.SourceIndex < 0 && copy.EncoderContext->codec_type != AVMEDIA_TYPE_ATTACHMENT)
            return FailStep(task, kErrorOther, "Cannot join files with diffrent steams state");
    }
    TOutputFile file = task.OutputFiles[0];
    file.Opts = nullptr;
    file.OstIndex = first;
    file.SharesMuxer = true;
    task.OutputFiles.push_back(file);
    return fileIndex;
}

}  // namespace

int TCustomFFmpeg::PrepareJoin() {
    Run.StreamsPerInput = static_cast<int>(OutputStreams.size());
    Run.StepFailure.clear();
    for (size_t i = 1; i < InputFiles.size(); i++) {
        const int ret = JoinAddInput(*this, static_cast<int>(i));
        if (ret < 0) {
            LastError = TakeStepFailure(*this, ret, "PrepareJoin()");
            return AbandonJoin(*this);
        }
    }
    int64_t total = 0;
    for (const TInputFile& file : InputFiles)
        if (file.Duration != AV_NOPTS_VALUE) total += file.Duration;
    Run.ProgressDuration = total ? total : -1;
    ResetOptions(Options, false, false);
    return 0;
}

int SwitchJoinInput(TCustomFFmpeg& task) {
    TTaskRunState& run = task.Run;
    const int j = run.JoinIndex, count = run.StreamsPerInput;
    const TInputFile& file = task.InputFiles[j];
    for (int s = 0; s < file.NbStreams; s++) {
        TInputStream& ist = task.InputStreams[file.IstIndex + s];
        if (!ist.DecodingNeeded || ist.Flushed) continue;
        int decoderError = 0;  // the decoder's last pictures may fail: the join goes on
        const int ret = DecodePacket(task, ist, nullptr, decoderError);
        if (ret < 0) return ret;
        libav::avcodec_flush_buffers(ist.DecoderContext);
        ist.DecoderDraining = false;
        ist.Flushed = true;
    }
    const int first = j * count, next = (j + 1) * count;
    const int64_t end = GroupEnd(task, first, count);
    for (int k = 0; k < count; k++) {
        TOutputStream& previous = task.OutputStreams[first + k];
        TOutputStream& following = task.OutputStreams[next + k];
        following.SyncOpts = previous.SyncOpts;
        following.FrameNumber = previous.FrameNumber;
        following.LastPts = previous.LastPts;
        following.LastDts = previous.LastDts;
        if (following.SyncIstIndex >= 0 && previous.SyncIstIndex >= 0)
            task.InputStreams[following.SyncIstIndex].Pts =
                task.InputStreams[previous.SyncIstIndex].Pts;
        // the encoders go on with the next group: drained once, at the very end
        previous.Flushed = true;
        previous.GroupDone = true;
    }
    task.InputFiles[j + 1].TsOffset += end;
    run.JoinIndex++;
    return 0;
}
