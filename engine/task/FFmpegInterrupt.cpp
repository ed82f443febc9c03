// The interrupt callbacks the libraries call during blocking input and output: they abort the
// call when the task is asked to stop or the read or write time-out has passed.
#include "engine/task/FFmpegTask.h"

namespace {

int CheckInterrupt(TCustomFFmpeg& task, const TIOWatchdog& watchdog, int timeoutMs, bool input) {
    if (task.StopRequest) {
        task.Log(llInfo, "reading/writing broken");
        return 1;
    }
    switch (watchdog.Check(timeoutMs)) {
        case ioContinue:
            return 0;
        case ioCancelled:
            task.Log(llInfo, input ? "connecting/reading canceled" : "connecting/writing canceled");
            return 1;
        case ioTimedOut:
            task.Log(llError, input ? "connecting/reading timeout" : "connecting/writing timeout");
            return 1;
    }
    return 0;
}

}  // namespace

int TCustomFFmpeg::InputInterrupt(void* opaque) {
    TCustomFFmpeg& task = *static_cast<TCustomFFmpeg*>(opaque);
    return CheckInterrupt(task, task.Run.InputIOStart, task.ReadTimeout, true);
}

int TCustomFFmpeg::OutputInterrupt(void* opaque) {
    TCustomFFmpeg& task = *static_cast<TCustomFFmpeg*>(opaque);
    return CheckInterrupt(task, task.Run.OutputIOStart, task.WriteTimeout, false);
}
