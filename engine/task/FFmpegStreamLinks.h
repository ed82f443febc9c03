#pragma once
// How the stream records of a task refer to each other and to the files: an output stream's
// source, the stream it encodes and muxes through (itself, or in join mode its group-0 stream),
// its muxer, and the output streams the steps work on.
#include "engine/task/FFmpegTask.h"

inline TInputStream& SourceOf(TCustomFFmpeg& task, const TOutputStream& ost) {
    return task.InputStreams[ost.SourceIndex];
}

// The output streams the loop works on: all, or in join mode those of the groups.
inline int OutputStreamCount(const TCustomFFmpeg& task) {
    return static_cast<int>(task.OutputStreams.size());
}

// The muxer of the output (in join mode every group writes through output 0's).
inline AVFormatContext* MuxerOf(TCustomFFmpeg& task, const TOutputStream& ost) {
    return task.OutputFiles[ost.FileIndex].Ctx;
}

// The stream whose FIFO, encoder and muxer stream ost uses (itself, or its join base).
inline TOutputStream& EncodingStream(TCustomFFmpeg& task, TOutputStream& ost) {
    return ost.JoinBase >= 0 ? task.OutputStreams[ost.JoinBase] : ost;
}
