// Where the reading of a damaged input stopped against where the piece was to end. The end
// comes from what the file says of the stream before it is read: its own duration, the
// per-stream duration tag of Matroska files, or the file's duration, unless that was only
// guessed from the bit rate.
#include "engine/task/FFmpegLosses.h"

#include <algorithm>

#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

namespace {

// How far short of the expected end the pictures may end and still have reached it: frames'
// rounding and streams that end a little before the file does.
constexpr int64_t kEndTolerance = AV_TIME_BASE / 2;

int64_t Microseconds(int64_t value, AVRational timeBase) {
    return libav::av_rescale_q(value, timeBase, AV_TIME_BASE_Q);
}

// Where the stream ends by what the file says (microseconds of the file's time), AV_NOPTS_VALUE
// when it says nothing: the stream's own start and length; the end Matroska muxers leave in a
// stream's "DURATION" tag; the file's end.
int64_t StatedEnd(const AVFormatContext& context, const AVStream& stream) {
    const int64_t fileStart = context.start_time != AV_NOPTS_VALUE ? context.start_time : 0;
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0) {
        const int64_t start = stream.start_time != AV_NOPTS_VALUE
                                  ? Microseconds(stream.start_time, stream.time_base)
                                  : fileStart;
        return start + Microseconds(stream.duration, stream.time_base);
    }
    const AVDictionaryEntry* tag = libav::av_dict_get(stream.metadata, "DURATION", nullptr, 0);
    int64_t end = 0;
    if (tag && libav::av_parse_time(&end, tag->value, 1) >= 0 && end > 0) return end;
    if (context.duration > 0 && context.duration_estimation_method != AVFMT_DURATION_FROM_BITRATE)
        return fileStart + context.duration;
    return AV_NOPTS_VALUE;
}

// The end of the stream in the conversion's time line (the input's offset applied),
// AV_NOPTS_VALUE when the file does not say.
int64_t StreamEnd(const TInputFile& file, const TInputStream& ist) {
    const int64_t end = StatedEnd(*file.Ctx, *ist.St);
    return end == AV_NOPTS_VALUE ? end : end + file.TsOffset;
}

const TOutputStream* FirstEncodedVideo(const TCustomFFmpeg& task) {
    for (const TOutputStream& ost : task.OutputStreams)
        if (ost.EncodingNeeded && ost.SourceIndex >= 0 && ost.EncoderContext &&
            ost.EncoderContext->codec_type == AVMEDIA_TYPE_VIDEO)
            return &ost;
    return nullptr;
}

}  // namespace

TVideoLosses MeasureVideoLosses(const TCustomFFmpeg& task) {
    TVideoLosses losses;
    const TOutputStream* ost = task.JoinMode ? nullptr : FirstEncodedVideo(task);
    if (!ost) return losses;
    const TInputStream& ist = task.InputStreams[ost->SourceIndex];
    const TInputFile& file = task.InputFiles[ist.FileIndex];
    const TOutputFile& of = task.OutputFiles[ost->FileIndex];
    losses.Damaged = ist.Damaged;
    losses.Frames = ost->FrameNumber;
    if (ost->FrameRate.num > 0 && ost->FrameRate.den > 0) losses.FrameRate = av_q2d(ost->FrameRate);

    int64_t end = StreamEnd(file, ist);
    if (of.RecordingTime != INT64_MAX)
        end = end == AV_NOPTS_VALUE ? of.StartTime + of.RecordingTime
                                    : std::min(end, of.StartTime + of.RecordingTime);
    const int64_t read = ist.NextPts != AV_NOPTS_VALUE ? ist.NextPts : of.StartTime;
    if (end != AV_NOPTS_VALUE) losses.Expected = std::max<int64_t>(end - of.StartTime, 0);
    const bool short_ = end != AV_NOPTS_VALUE && end - read > kEndTolerance;
    if (file.ReadError != 0 || short_) losses.ReadUntil = std::max<int64_t>(read - of.StartTime, 0);
    return losses;
}
