#pragma once
// TTaskRunState: what a conversion task keeps while it works, apart from its options and its
// file and stream tables. Opening fills part of it; the conversion steps (set-up, the
// transcoding loop, the video and audio paths, the progress report) read and update it. State
// a step keeps between its calls belongs in this record, not in public fields of the task.
#include <cstdint>

#include "engine/core/IOWatchdog.h"

struct TTaskRunState {
    // When the blocking library call under way on the inputs, and on the outputs, started:
    // restarted before each call, checked by the task's interrupt callbacks.
    TIOWatchdog InputIOStart;
    TIOWatchdog OutputIOStart;
    // The longest duration of the opened inputs less their start (microseconds, -1 when none
    // is known), and the duration the progress report hands on: the longest recording time of
    // the opened outputs (-1 when none is limited).
    int64_t TotalDuration = -1;
    int64_t ProgressDuration = -1;
};
