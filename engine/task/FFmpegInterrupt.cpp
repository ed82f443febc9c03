// The interrupt callbacks the libraries call during blocking input and output: they abort the
// call when the task is asked to stop or the read or write time-out has passed.
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegTask.h"

int TCustomFFmpeg::InputInterrupt(void* opaque) {
    TCustomFFmpeg* task = static_cast<TCustomFFmpeg*>(opaque);
    return task->CheckInterrupt(task->InputIOStart, task->ReadTimeout, true);
}

int TCustomFFmpeg::OutputInterrupt(void* opaque) {
    TCustomFFmpeg* task = static_cast<TCustomFFmpeg*>(opaque);
    return task->CheckInterrupt(task->OutputIOStart, task->WriteTimeout, false);
}

int TCustomFFmpeg::CheckInterrupt(const std::atomic<int64_t>& start, int timeoutMs, bool input) {
    if (StopRequest) {
        Log(llInfo, "reading/writing broken");
        return 1;
    }
    const int64_t startTime = start.load();
    if (startTime == INT64_MAX || timeoutMs <= 0) return 0;
    if (libav::av_gettime() - startTime <= static_cast<int64_t>(timeoutMs) * 1000) return 0;
    if (startTime == 0)
        Log(llInfo, input ? "connecting/reading canceled" : "connecting/writing canceled");
    else
        Log(llError, input ? "connecting/reading timeout" : "connecting/writing timeout");
    return 1;
}
