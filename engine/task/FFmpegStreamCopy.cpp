// Stream copy: packets of an input stream go to the output as they are, with their timestamps
// moved into the output stream's time base and the output's start taken off.
#include "engine/task/FFmpegStreamCopy.h"

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegMux.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

int CopyPacket(TCustomFFmpeg& task, TInputStream& ist, TOutputStream& ost, const AVPacket* packet) {
    // the output starts at a key frame unless asked otherwise
    if (ost.FrameNumber == 0 && !(packet->flags & AV_PKT_FLAG_KEY) && !ost.CopyInitialNonkeyframes)
        return 0;
    TTaskRunState& run = task.Run;
    if (!run.EncodedPacket) run.EncodedPacket = libav::av_packet_alloc();
    AVPacket* copy = run.EncodedPacket;
    if (!copy || libav::av_packet_ref(copy, packet) < 0)
        return FailStepFatal(task, kErrorOutOfMemory, "av_packet_ref() failed");

    const AVRational inTb = ist.St->time_base, outTb = ost.St->time_base;
    const int64_t start =
        libav::av_rescale_q(task.OutputFiles[ost.FileIndex].StartTime, AV_TIME_BASE_Q, outTb);
    switch (ist.St->codecpar->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            run.AudioSize += packet->size;
            break;
        case AVMEDIA_TYPE_VIDEO:
            run.VideoSize += packet->size;
            ost.SyncOpts++;
            break;
        default:
            break;
    }
    copy->pts = packet->pts != AV_NOPTS_VALUE
                    ? libav::av_rescale_q(packet->pts, inTb, outTb) - start
                    : AV_NOPTS_VALUE;
    copy->dts =
        (packet->dts != AV_NOPTS_VALUE ? libav::av_rescale_q(packet->dts, inTb, outTb)
                                       : libav::av_rescale_q(ist.Pts, AV_TIME_BASE_Q, outTb)) -
        start;
    copy->duration = libav::av_rescale_q(packet->duration, inTb, outTb);
    if (ost.LastDts != AV_NOPTS_VALUE && copy->dts <= ost.LastDts) copy->dts = ost.LastDts + 1;
    if (copy->pts != AV_NOPTS_VALUE && copy->pts < copy->dts) copy->pts = copy->dts;
    ost.LastDts = copy->dts;
    return WritePacket(task, MuxerOf(task, ost), copy, ost);
}
