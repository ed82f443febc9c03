// Progress of a conversion: the status line (frame, fps, q, size, time, bit rate, dups and
// drops) and the values of the progress route, at most once per progress interval and once at
// the end with the sizes of what was written; the -vstats lines; what the encoders report of
// their packets.
#include "engine/task/FFmpegProgress.h"

#include <cmath>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

namespace {

double Psnr(double relativeError) { return -10.0 * std::log10(relativeError); }

int64_t OutputSize(const TCustomFFmpeg& task) {
    if (task.OutputFiles.empty()) return 0;
    AVIOContext* pb = task.OutputFiles[0].Ctx->pb;
    if (!pb) return 0;
    int64_t size = libav::avio_size(pb);
    if (size < 0) size = libav::avio_seek(pb, 0, SEEK_CUR);
    return size < 0 ? 0 : size;
}

float QualityOf(const TOutputStream& ost) {
    if (ost.StreamCopy || !ost.HasQuality) return -1;
    return static_cast<float>(ost.Quality) / FF_QP2LAMBDA;
}

std::string QpHistogram(TCustomFFmpeg& task, float q) {
    std::array<int, 52>& histogram = task.Run.QpHistogram;
    const long qp = std::lrint(q);
    if (qp >= 0 && qp < static_cast<long>(histogram.size())) histogram[qp]++;
    std::string text;
    for (int j = 0; j < 32; j++)
        text += StrFormat("%X", static_cast<int>(std::lrint(std::log2(histogram[j] + 1))));
    return text;
}

std::string PsnrText(const TOutputStream& ost, bool isLast) {
    const AVCodecContext* enc = ost.EncoderContext;
    std::string text = "PSNR=";
    double errorSum = 0, scaleSum = 0;
    for (int j = 0; j < 3; j++) {
        double error = static_cast<double>(isLast ? ost.ErrorSum[j] : ost.Error[j]);
        double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
        if (isLast) scale *= ost.FrameNumber;
        if (j) scale /= 4;
        errorSum += error;
        scaleSum += scale;
        text += StrFormat("%c:%2.2f ", "YUV"[j], Psnr(error / scale));
    }
    return text + StrFormat("*:%2.2f ", Psnr(errorSum / scaleSum));
}

// The output streams the report looks at: all, or in join mode the group of the input.
void ReportedStreams(const TCustomFFmpeg& task, int fileIndex, int& first, int& count) {
    first = 0;
    count = OutputStreamCount(task);
    if (!task.JoinMode) return;
    const int group = fileIndex < 0 ? task.Run.JoinIndex : fileIndex;
    first = group * task.Run.StreamsPerInput;
    count = task.Run.StreamsPerInput;
}

}  // namespace

void TakeEncoderStats(TOutputStream& ost, const AVPacket* packet) {
    size_t size = 0;
    const uint8_t* stats = libav::av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (!stats || size < 5) return;
    ost.HasQuality = true;
    ost.Quality = static_cast<int>(stats[0] | stats[1] << 8 | stats[2] << 16 |
                                   static_cast<uint32_t>(stats[3]) << 24);
    ost.PictType = stats[4];
    const int errors = std::min<int>(stats[5], 4);
    for (int i = 0; i < errors && 8 + 8 * (i + 1) <= static_cast<int>(size); i++) {
        uint64_t error = 0;
        for (int b = 7; b >= 0; b--) error = error << 8 | stats[8 + 8 * i + b];
        ost.Error[i] = error;
        ost.ErrorSum[i] += error;
    }
}

void ReportProgress(TCustomFFmpeg& task, int64_t now, bool isLast, int fileIndex) {
    TTaskRunState& run = task.Run;
    if (!task.PrintStats && !isLast && !task.Routes.Progress) return;
    const int64_t totalSize = OutputSize(task);
    int first = 0, count = 0;
    ReportedStreams(task, fileIndex, first, count);

    std::string line;
    int frameNumber = -1, fps = -1;
    float q = -1;
    bool videoSeen = false;
    int64_t pts = INT64_MAX;
    for (int i = first; i < first + count; i++) {
        TOutputStream& ost = task.OutputStreams[i];
        const AVCodecContext* enc = ost.EncoderContext;
        q = QualityOf(ost);
        const bool video = enc->codec_type == AVMEDIA_TYPE_VIDEO;
        if (videoSeen && video) line += StrFormat("q=%2.1f ", q);
        if (!videoSeen && video && !ost.GroupDone) {
            if (ost.FrameNumber <= 0) continue;  // nothing to tell yet: not counted at all
            const double elapsed = (now - run.TimerStart) / 1e6;
            frameNumber = ost.FrameNumber;
            fps = elapsed > 1 ? static_cast<int>(frameNumber / elapsed + 0.5) : 0;
            line += StrFormat("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, q);
            if (isLast) line += "L";
            if (task.QpHist) line += QpHistogram(task, q);
            if (enc->flags & AV_CODEC_FLAG_PSNR) line += PsnrText(ost, isLast);
            videoSeen = true;
        }
        pts = std::min(pts, EncodingStream(task, ost).MuxedTime);
    }
    // no stream has written anything yet: the output is at its start
    if (pts == INT64_MAX) pts = 0;

    const int64_t seconds = pts / AV_TIME_BASE;
    const int hundredths = static_cast<int>((pts % AV_TIME_BASE) * 100 / AV_TIME_BASE);
    const double bitrate = pts ? totalSize * 8 / (pts / 1000.0) : 0;
    line +=
        StrFormat("size=%8.0fkB time=%02d:%02d:%02d.%02d bitrate=%6.1fkbits/s", totalSize / 1024.0,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60), hundredths, bitrate);
    if (run.FramesDup || run.FramesDropped) {
        line += StrFormat(" dup=%d drop=%d", run.FramesDup, run.FramesDropped);
        if (run.DupDropChanged && task.Routes.Progress) {
            run.DupDropChanged = false;
            task.Log(llInfo, line);
        }
    }
    if (task.Routes.Progress) {
        TTaskProgress progress;
        progress.FileIndex = isLast ? -1 : fileIndex;
        progress.FrameNumber = frameNumber;
        progress.FPS = fps;
        progress.Quality = q;
        progress.BitRate = static_cast<float>(bitrate);
        progress.OutputSize = totalSize;
        progress.OutputTime = pts;
        progress.TotalDuration = run.ProgressDuration;
        task.Routes.Progress(&task, progress);
    } else if (task.PrintStats) {
        task.Log(llInfo, line);
    }
    if (!isLast) return;
    const double written =
        static_cast<double>(run.VideoSize) + run.AudioSize + static_cast<double>(run.ExtraSize);
    if (written > 0)
        task.Log(llInfo,
                 StrFormat("video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead "
                           "%f%%\r\n",
                           run.VideoSize / 1024.0, run.AudioSize / 1024.0, run.ExtraSize / 1024.0,
                           100.0 * (totalSize - written) / written));
    else
        task.Log(llWarning,
                 "Output file is empty, nothing was encoded (check -ss / -t / -frames parameters "
                 "if used)");
}

void WriteVideoStats(TCustomFFmpeg& task, TOutputStream& ost, int frameSize) {
    TTaskRunState& run = task.Run;
    if (!run.VStatsFile) {
        if (run.VStatsFailed) return;
        run.VStatsFile = std::fopen(task.VStatsFileName.c_str(), "w");
        if (!run.VStatsFile) {
            run.VStatsFailed = true;
            task.Log(llError, "fopen fail: " + task.VStatsFileName);
            return;
        }
    }
    const AVCodecContext* enc = ost.EncoderContext;
    FILE* file = run.VStatsFile;
    std::fprintf(file, "frame= %5d q= %2.1f ", ost.FrameNumber,
                 static_cast<double>(ost.Quality) / FF_QP2LAMBDA);
    if (enc->flags & AV_CODEC_FLAG_PSNR)
        std::fprintf(file, "PSNR= %6.2f ",
                     Psnr(ost.Error[0] / (enc->width * enc->height * 255.0 * 255.0)));
    std::fprintf(file, "f_size= %6d ", frameSize);
    double time = ost.SyncOpts * av_q2d(enc->time_base);
    if (time < 0.01) time = 0.01;
    const double bitrate = frameSize * 8 / av_q2d(enc->time_base) / 1000.0;
    const double average = run.VideoSize * 8 / time / 1000.0;
    std::fprintf(file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 run.VideoSize / 1024.0, time, bitrate, average);
    std::fprintf(file, "type= %c\n",
                 libav::av_get_picture_type_char(static_cast<AVPictureType>(ost.PictType)));
}
