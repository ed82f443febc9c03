// The transcoding loop: set-up, then round after round the input to read from is chosen, one
// packet read, its timestamps corrected and handed to the decoding paths, with a progress
// report at every progress interval; at the end the decoders and encoders are drained, the
// trailers written, the final report sent and everything the run made is released.
#include <chrono>
#include <cinttypes>
#include <thread>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/FFmpegDecodePacket.h"
#include "engine/task/FFmpegJoin.h"
#include "engine/task/FFmpegLosses.h"
#include "engine/task/FFmpegMux.h"
#include "engine/task/FFmpegProgress.h"
#include "engine/task/FFmpegSetup.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegStreamRelease.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/FFmpegVideoHooks.h"

namespace {

constexpr auto kIdleWait = std::chrono::milliseconds(10);
// How far (microseconds) a packet's decode time may go back before it counts as a jump.
constexpr int64_t kBackwardsTolerance = AV_TIME_BASE / 10;

// Join mode: the current input, unless a stream of its group has all the frames it may have.
int ChooseJoinInput(TCustomFFmpeg& task) {
    const TTaskRunState& run = task.Run;
    const int first = run.JoinIndex * run.StreamsPerInput;
    for (int k = first; k < first + run.StreamsPerInput; k++)
        if (task.OutputStreams[k].FrameNumber >= task.OutputStreams[k].MaxFrames) return -1;
    return run.JoinIndex;
}

bool OutputFull(const TOutputFile& of) {
    AVIOContext* pb = of.Ctx->pb;
    return pb && libav::avio_seek(pb, 0, SEEK_CUR) >= of.LimitFilesize;
}

// The input that feeds the output stream furthest behind (or, with -isync, the input stream
// furthest behind); -1 when no output stream can be fed.
int ChooseInput(TCustomFFmpeg& task) {
    if (task.JoinMode) return ChooseJoinInput(task);
    int fileIndex = -1;
    int64_t minInputTime = INT64_MAX;
    double minOutputTime = 1e100;
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.IsPastRecordingTime || ost.SourceIndex < 0) continue;
        const TInputStream& ist = SourceOf(task, ost);
        if (task.Run.NoPacket[ist.FileIndex]) continue;
        if (OutputFull(task.OutputFiles[ost.FileIndex])) continue;
        const double outputTime = EncodingStream(task, ost).MuxedTime / 1e6;
        if (!task.InputFiles[ist.FileIndex].EofReached) {
            if (ist.Pts < minInputTime) {
                minInputTime = ist.Pts;
                if (task.InputSync) fileIndex = ist.FileIndex;
            }
            if (outputTime < minOutputTime) {
                minOutputTime = outputTime;
                if (!task.InputSync) fileIndex = ist.FileIndex;
            }
        }
        if (ost.FrameNumber >= ost.MaxFrames) {
            for (TOutputStream& other : task.OutputStreams)
                if (other.FileIndex == ost.FileIndex) other.IsPastRecordingTime = true;
        }
    }
    return fileIndex;
}

void ClearNoPacket(TTaskRunState& run) {
    std::fill(run.NoPacket.begin(), run.NoPacket.end(), 0);
    run.NoPacketCount = 0;
}

// The file's offset and the stream's scale.
void CorrectTimestamps(const TInputFile& file, const TInputStream& ist, AVPacket* packet) {
    const AVRational tb = ist.St->time_base;
    const int64_t offset = libav::av_rescale_q(file.TsOffset, AV_TIME_BASE_Q, tb);
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
    if (ist.TsScale != 1.0) {
        if (packet->pts != AV_NOPTS_VALUE) packet->pts = std::llround(packet->pts * ist.TsScale);
        if (packet->dts != AV_NOPTS_VALUE) packet->dts = std::llround(packet->dts * ist.TsScale);
    }
}

// A jump in the timestamps of a format that allows them moves the file's offset so that the
// packets go on smoothly. Decode times are compared with decode times: a picture's own time
// runs ahead of its packet's by the decoder's reordering, which is no jump.
void HandleDiscontinuity(TCustomFFmpeg& task, TInputFile& file, const TInputStream& ist,
                         AVPacket* packet) {
    if (packet->dts == AV_NOPTS_VALUE || ist.NextDts == AV_NOPTS_VALUE ||
        !(file.Ctx->iformat->flags & AVFMT_TS_DISCONT) || task.CopyTs)
        return;
    const AVRational tb = ist.St->time_base;
    const int64_t dts = libav::av_rescale_q(packet->dts, tb, AV_TIME_BASE_Q);
    const int64_t delta = dts - ist.NextDts;
    const double threshold = task.DtsDeltaThreshold * AV_TIME_BASE;
    const bool subtitle = ist.St->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
    const bool backwards = dts + kBackwardsTolerance < ist.LastDts;
    if (!(delta < -threshold || (delta > threshold && !subtitle) || backwards)) return;
    file.TsOffset -= delta;
    task.Log(llDebug, StrFormat("timestamp discontinuity %" PRId64 ", new offset= %" PRId64, delta,
                                file.TsOffset));
    const int64_t shift = libav::av_rescale_q(delta, AV_TIME_BASE_Q, tb);
    packet->dts -= shift;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= shift;
}

// Where the next packet of the stream is due once `packet` is read (its dts and duration, in
// microseconds), and its dts.
void NoteDecodeTime(TInputStream& ist, const AVPacket* packet) {
    if (packet->dts == AV_NOPTS_VALUE) return;
    const AVRational tb = ist.St->time_base;
    ist.LastDts = libav::av_rescale_q(packet->dts, tb, AV_TIME_BASE_Q);
    int64_t duration =
        packet->duration > 0 ? libav::av_rescale_q(packet->duration, tb, AV_TIME_BASE_Q) : 0;
    if (duration == 0 && ist.St->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
        duration = CodecFrameDuration(ist);
    ist.NextDts = ist.LastDts + duration;
}

// What a round of the loop leads to; a round returns one of these, or a failure (negative).
enum TRoundResult { rrNext, rrIdle, rrEnd };

// What to do when an input has no more packets (`error`: why, AVERROR_EOF at its end).
int InputEnded(TCustomFFmpeg& task, int fileIndex, int error) {
    task.InputFiles[fileIndex].EofReached = true;
    if (error != AVERROR_EOF) task.InputFiles[fileIndex].ReadError = error;
    if (task.JoinMode) {
        if (task.Run.JoinIndex + 1 >= static_cast<int>(task.InputFiles.size())) return rrEnd;
        const int ret = SwitchJoinInput(task);
        return ret < 0 ? ret : rrNext;
    }
    return task.Shortest ? rrEnd : rrNext;
}

// The packet read, to its stream's decoding path. Returns 0 or a failure; `decoded` is false
// after the decoder's error, which is logged and, with -xerror, a failure.
int DecodeRead(TCustomFFmpeg& task, TInputFile& file, int fileIndex, AVPacket* packet,
               bool& decoded) {
    decoded = true;
    if (task.DoPktDump)
        libav::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, packet, task.DoHexDump,
                                file.Ctx->streams[packet->stream_index]);
    if (packet->stream_index >= file.NbStreams) return 0;
    TInputStream& ist = task.InputStreams[file.IstIndex + packet->stream_index];
    if (ist.Discard) return 0;
    if (packet->flags & AV_PKT_FLAG_CORRUPT) ist.Damaged++;
    CorrectTimestamps(file, ist, packet);
    if (ist.FirstDts == AV_NOPTS_VALUE) ist.FirstDts = packet->dts;
    HandleDiscontinuity(task, file, ist, packet);
    NoteDecodeTime(ist, packet);
    int decoderError = 0;
    const int ret = DecodePacket(task, ist, packet, decoderError);
    if (ret < 0 || decoderError >= 0) return ret;
    decoded = false;
    ist.Damaged++;
    const std::string message =
        StrFormat("Error while decoding stream #%d:%d (%s)", fileIndex, ist.St->index,
                  MediaTypeName(ist.St->codecpar->codec_type).c_str());
    task.Log(llError, message);
    return task.ExitOnError ? FailStep(task, decoderError, message) : 0;
}

// Lets go of the packet read when the round ends, also when an event handler raised.
struct TReadPacket {
    AVPacket* Packet;
    ~TReadPacket() { libav::av_packet_unref(Packet); }
};

// One round of the loop. Returns what comes next, or a failure.
int RunRound(TCustomFFmpeg& task) {
    TTaskRunState& run = task.Run;
    const int fileIndex = ChooseInput(task);
    if (fileIndex < 0) {
        if (task.JoinMode || run.NoPacketCount == 0) return rrEnd;
        ClearNoPacket(run);
        return rrIdle;
    }
    TInputFile& file = task.InputFiles[fileIndex];
    AVPacket* packet = run.Packet;
    run.InputIOStart.Start();
    const int ret = libav::av_read_frame(file.Ctx, packet);
    if (ret == AVERROR(EAGAIN)) {
        run.NoPacket[fileIndex] = 1;
        run.NoPacketCount++;
        return rrNext;
    }
    if (ret < 0) return InputEnded(task, fileIndex, ret);
    ClearNoPacket(run);
    bool decoded = false;
    {
        TReadPacket read{packet};
        const int failed = DecodeRead(task, file, fileIndex, packet, decoded);
        if (failed < 0) return failed;
    }
    if (!decoded) return rrNext;  // no report after a decoding error
    const int64_t now = libav::av_gettime_relative();
    if (now - run.LastReportTime > task.ProgressInterval) {
        run.LastReportTime = now;
        ReportProgress(task, now, false, fileIndex);
    }
    return rrNext;
}

// The rounds until the inputs end or a stop is requested. Returns 0 or a failure.
int RunLoop(TCustomFFmpeg& task) {
    while (!task.StopRequested()) {
        const int result = RunRound(task);
        if (result < 0) return result;
        if (result == rrEnd) return 0;
        if (result == rrIdle) std::this_thread::sleep_for(kIdleWait);
    }
    return 0;
}

void WriteTrailers(TCustomFFmpeg& task) {
    const size_t count = task.JoinMode ? 1 : task.OutputFiles.size();
    for (size_t i = 0; i < count; i++) {
        AVFormatContext* oc = task.OutputFiles[i].Ctx;
        task.Run.OutputIOStart.Start();
        const int ret = libav::av_write_trailer(oc);
        if (ret < 0) {
            RaiseFrameOutputError(oc);
            task.Log(llError, ErrorText("av_write_trailer()", ret));
        }
    }
}

// After the loop: what the decoders and encoders still hold, the trailers, the final report,
// the codecs closed. Returns 0 or a failure.
int FinishConversion(TCustomFFmpeg& task) {
    for (TInputStream& ist : task.InputStreams) {
        if (!ist.DecodingNeeded || ist.Flushed) continue;
        int decoderError = 0;  // the decoder's last pictures may fail: the end goes on
        const int ret = DecodePacket(task, ist, nullptr, decoderError);
        if (ret < 0) return ret;
    }
    const int drained = task.JoinMode
                            ? DrainEncoders(task, task.Run.JoinIndex * task.Run.StreamsPerInput,
                                            task.Run.StreamsPerInput)
                            : DrainEncoders(task, 0, OutputStreamCount(task));
    if (drained < 0) return drained;
    WriteTrailers(task);
    ReportProgress(task, libav::av_gettime_relative(), true, -1);
    if (!task.StopRequested()) task.Losses = MeasureVideoLosses(task);
    const int encoders = task.JoinMode ? task.Run.StreamsPerInput : OutputStreamCount(task);
    for (int i = 0; i < encoders; i++) {
        TOutputStream& ost = task.OutputStreams[i];
        if (!ost.EncodingNeeded) continue;
        libav::av_freep(&ost.EncoderContext->stats_in);
        CloseCodec(task.Run.OpenedEncoders, ost.EncoderContext);
    }
    for (TOutputStream& ost : task.OutputStreams) libav::avfilter_graph_free(&ost.Graph);
    for (TInputStream& ist : task.InputStreams)
        if (ist.DecodingNeeded) CloseCodec(task.Run.OpenedDecoders, ist.DecoderContext);
    task.Completed = !task.StopRequested();
    return 0;
}

// Releases what the run made; safe to call more than once.
void CleanUp(TCustomFFmpeg& task) {
    task.CloseOpenedDecoders();
    task.CloseOpenedEncoders();
    for (TOutputStream& ost : task.OutputStreams)
        if (ost.EncoderContext && ost.JoinBase < 0) libav::av_freep(&ost.EncoderContext->stats_in);
    ReleaseStreamRunResources(task);
    task.Run.ReleaseBuffers();
    FinishVideoHooks(task);
}

// The conversion's state at its start, then the set-up. Returns 0 or a failure.
int StartConversion(TCustomFFmpeg& task) {
    TTaskRunState& run = task.Run;
    task.LastError.clear();
    run.StepFailure.clear();
    task.Completed = false;
    task.Losses = TVideoLosses();
    int ret = StartVideoHooks(task);
    if (ret < 0) return ret;
    run.NoPacket.assign(task.InputFiles.size(), 0);
    run.NoPacketCount = 0;
    run.JoinIndex = 0;
    run.Packet = libav::av_packet_alloc();
    if (!run.Packet) return FailStep(task, kErrorOutOfMemory, "av_packet_alloc() failed");
    ret = transcode_init(task);
    if (ret < 0) return ret;
    if (run.ProgressDuration < 0) run.ProgressDuration = run.TotalDuration;
    run.TimerStart = run.LastReportTime = libav::av_gettime_relative();
    return 0;
}

// Where a failed step becomes the task's LastError and the exception that ends the conversion:
// the text the step worded, or `context` with the code's text.
[[noreturn]] void RaiseStepFailure(TCustomFFmpeg& task, int code, const char* context) {
    task.LastError = TakeStepFailure(task, code, context);
    throw FFmpegException(task.LastError);
}

}  // namespace

void TCustomFFmpeg::Transcode() {
    try {
        int ret = StartConversion(*this);
        if (ret < 0) RaiseStepFailure(*this, ret, "transcode_init() error");
        ret = RunLoop(*this);
        if (ret >= 0) ret = FinishConversion(*this);
        if (ret < 0) RaiseStepFailure(*this, ret, "transcode() error");
    } catch (...) {
        CleanUp(*this);
        throw;
    }
    CleanUp(*this);
}

void TCustomFFmpeg::CloseOpenedEncoders() {
    while (!Run.OpenedEncoders.empty()) CloseCodec(Run.OpenedEncoders, Run.OpenedEncoders.back());
}

void TCustomFFmpeg::CloseOpenedDecoders() {
    while (!Run.OpenedDecoders.empty()) CloseCodec(Run.OpenedDecoders, Run.OpenedDecoders.back());
}
