// TCustomDecoder: what the open file is (names, records, information text).
#include <strings.h>

#include <cstdlib>

#include "engine/core/FFUtils.h"
#include "engine/core/ShownPicture.h"
#include "engine/decoder/FFDecode.h"
#include "engine/decoder/FileInfoText.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"

namespace {

int64_t ToMicroseconds(int64_t value, AVRational timeBase) {
    return libav::av_rescale_q(value, timeBase, AVRational{1, AV_TIME_BASE});
}

int32_t MetadataInteger(const AVDictionary* metadata, const char* key) {
    return static_cast<int32_t>(std::atoi(DictValue(metadata, key, "0").c_str()));
}

// The file's creation time in microseconds since 1970, 0 when it has none.
int64_t CreationTime(const AVDictionary* metadata) {
    const std::string text = DictValue(metadata, "creation_time", "");
    int64_t time = 0;
    if (text.empty() || libav::av_parse_time(&time, text.c_str(), 0) < 0) return 0;
    return time;
}

}  // namespace

bool IsStillPictureFormat(const char* formatName) {
    if (formatName == nullptr) return false;
    const std::string name(formatName);
    if (strcasecmp(name.c_str(), "image2") == 0) return true;
    const std::string suffix = "_pipe";
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string TCustomDecoder::FileName() {
    if (!RequireFile()) return std::string();
    return formatContext_->url != nullptr ? formatContext_->url : "";
}

std::string TCustomDecoder::FormatName() {
    if (!RequireFile()) return std::string();
    return formatContext_->iformat != nullptr ? formatContext_->iformat->name : "";
}

std::string TCustomDecoder::FileInfoText() {
    if (!RequireFile()) return std::string();
    return ::FileInfoText(*formatContext_, summary_.FileSize);
}

TFileInfo TCustomDecoder::GetFileInfo() {
    TFileInfo info;
    if (!RequireFile()) return info;
    const AVFormatContext& context = *formatContext_;
    info.StartTime = context.start_time;
    info.Duration = context.duration != AV_NOPTS_VALUE ? context.duration : -1;
    info.BitRate = static_cast<int32_t>(context.bit_rate);
    info.Timestamp = CreationTime(context.metadata);
    info.Year = MetadataInteger(context.metadata, "year");
    info.Track = MetadataInteger(context.metadata, "track");
    info.Title = DictValue(context.metadata, "title", "");
    info.Author = DictValue(context.metadata, "author", "");
    info.Copyright = DictValue(context.metadata, "copyright", "");
    info.Comment = DictValue(context.metadata, "comment", "");
    info.Album = DictValue(context.metadata, "album", "");
    info.Genre = DictValue(context.metadata, "genre", "");
    return info;
}

bool TCustomDecoder::IsVideoStream(int streamIndex) {
    if (!RequireFile()) return false;
    return streamIndex >= 0 && streamIndex < static_cast<int>(formatContext_->nb_streams) &&
           formatContext_->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

std::vector<int64_t> TCustomDecoder::IndexedKeyFrames(int streamIndex) {
    std::vector<int64_t> times;
    if (!RequireFile()) return times;
    const int index = streamIndex < 0 ? summary_.DefaultVideoStream : streamIndex;
    if (index < 0 || !IsVideoStream(index)) return times;
    AVStream* stream = formatContext_->streams[index];
    const int64_t start =
        formatContext_->start_time != AV_NOPTS_VALUE ? formatContext_->start_time : 0;
    const int count = libav::avformat_index_get_entries_count(stream);
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = libav::avformat_index_get_entry(stream, i);
        if (!entry || !(entry->flags & AVINDEX_KEYFRAME) || entry->timestamp == AV_NOPTS_VALUE)
            continue;
        const int64_t time = ToMicroseconds(entry->timestamp, stream->time_base) - start;
        if (times.empty() || time > times.back()) times.push_back(time);
    }
    return times;
}

bool TCustomDecoder::GetVideoStreamInfo(int streamIndex, TVideoStreamInfo& info) {
    info = TVideoStreamInfo();
    if (!RequireFile()) return false;
    const int index = streamIndex < 0 ? summary_.DefaultVideoStream : streamIndex;
    if (index < 0) {
        RecordError(AV_LOG_ERROR, "no video stream.");
        return false;
    }
    if (index >= summary_.StreamCount) {
        RecordErrorF(AV_LOG_ERROR, "stream index #%d is invalid.", index);
        return false;
    }
    if (!IsVideoStream(index)) {
        RecordErrorF(AV_LOG_ERROR, "stream #%d is not video stream.", index);
        return false;
    }
    AVStream& stream = *formatContext_->streams[index];
    if (stream.time_base.den == 0) {
        stream.time_base.den = stream.time_base.num != 0 ? stream.time_base.num : 1;
    }
    const AVCodecParameters& parameters = *stream.codecpar;
    info.Language = DictValue(stream.metadata, "language", "");
    info.CodecText = CodecDescription(stream);
    info.CodecName = libav::avcodec_get_name(parameters.codec_id);
    info.StartTime = stream.start_time;
    if (stream.start_time != AV_NOPTS_VALUE) {
        info.StartTimeUs = ToMicroseconds(stream.start_time, stream.time_base);
    }
    info.Duration = stream.duration;
    if (stream.duration != AV_NOPTS_VALUE) {
        info.DurationUs = ToMicroseconds(stream.duration, stream.time_base);
    }
    info.BitRate = static_cast<int32_t>(parameters.bit_rate);
    info.Height = parameters.height;
    info.Width = parameters.width;
    AVRational sar = stream.sample_aspect_ratio;
    if (sar.num == 0 || sar.den == 0) sar = parameters.sample_aspect_ratio;
    const double pixelAspect = sar.num != 0 && sar.den != 0 ? av_q2d(sar) : 1.0;
    info.AspectRatio = parameters.height != 0
                           ? static_cast<float>(parameters.width * pixelAspect / parameters.height)
                           : 0.0f;
    info.PixelFormat = parameters.format;
    const AVRational rate = stream.avg_frame_rate.num != 0 && stream.avg_frame_rate.den != 0
                                ? stream.avg_frame_rate
                                : stream.r_frame_rate;
    info.FrameRateNum = rate.num;
    info.FrameRateDen = rate.den;
    const TPictureTurn turn = PictureTurnOf(stream);
    const TShownSize shown =
        ShownSizeOf(parameters.width, parameters.height, SampleAspectOf(stream), turn);
    info.ShownWidth = shown.Width;
    info.ShownHeight = shown.Height;
    info.UprightWidth = turn.SwapsSides() ? parameters.height : parameters.width;
    info.UprightHeight = turn.SwapsSides() ? parameters.width : parameters.height;
    info.Turn = TurnText(turn);
    return true;
}
