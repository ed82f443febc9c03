// The stream mapping of a conversion, as the log shows it before the conversion starts:
// every output's format, then one line per output stream saying where it comes from.
#include "engine/task/FFmpegMappingReport.h"

#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avformat.h"
#include "engine/task/FFmpegTask.h"

namespace {

std::string MappingLine(TCustomFFmpeg& task, const TOutputStream& ost) {
    const int outputFile = task.JoinMode ? 0 : ost.FileIndex;
    if (!ost.AttachmentFilename.empty())
        return StrFormat("  File %s -> Stream #%d:%d", ost.AttachmentFilename.c_str(), outputFile,
                         ost.Index);
    const TInputStream& ist = task.InputStreams[ost.SourceIndex];
    std::string line =
        StrFormat("  Stream #%d:%d -> #%d:%d", ist.FileIndex, ist.St->index, outputFile, ost.Index);
    if (ost.AudioChannelsMapped > 0) {
        line += " [ch:";
        for (int i = 0; i < ost.AudioChannelsMapped; i++)
            line += ost.AudioChannelsMap[i] == -1 ? std::string(" M")
                                                  : StrFormat(" %d", ost.AudioChannelsMap[i]);
        line += "]";
    }
    if (ost.SyncIstIndex >= 0 && ost.SyncIstIndex != ost.SourceIndex) {
        const TInputStream& sync = task.InputStreams[ost.SyncIstIndex];
        line += StrFormat(" [sync #%d:%d]", sync.FileIndex, sync.St->index);
    }
    if (ost.StreamCopy) {
        line += " (copy)";
    } else {
        line += ist.Decoder ? StrFormat(" (%s", ist.Decoder->name) : std::string(" (?");
        line += ost.Enc ? StrFormat(" -> %s)", ost.Enc->name) : std::string(" -> ?)");
    }
    return line + StrFormat(" (%s)", MediaTypeName(ost.EncoderContext->codec_type).c_str());
}

}  // namespace

void PrintStreamMapping(TCustomFFmpeg& task) {
    const size_t files = task.JoinMode ? 1 : task.OutputFiles.size();
    for (size_t i = 0; i < files; i++)
        libav::av_dump_format(task.OutputFiles[i].Ctx, static_cast<int>(i),
                              task.OutputFiles[i].Ctx->url, 1);
    task.Log(llInfo, "Stream mapping:");
    for (const TOutputStream& ost : task.OutputStreams) {
        if (ost.SourceIndex < 0 && ost.AttachmentFilename.empty()) continue;
        task.Log(llInfo, MappingLine(task, ost));
    }
}
