#pragma once
// The conversion the front ends run, for the benchmarks: a clip decoded, scaled to 320x240 and
// delivered as bgr24 frames into a frame output adapter.
#include <cstdio>
#include <exception>
#include <string>

#include "engine/output/FrameOutput.h"
#include "engine/task/FFmpegTask.h"

namespace benchroad {

// Runs the conversion of `clip` into `adapter`; false (the reason on stderr) when it fails.
inline bool ConvertIntoAdapter(const std::string& clip, TFrameOutputAdapter& adapter) {
    try {
        TCustomFFmpeg task;
        if (task.OpenInputFile(nullptr, clip) < 0) throw FFmpegException(task.LastError);
        task.ParseOptions("-f rawrgb -c:v rawvideo -pix_fmt bgr24 -vf \"scale=320:240\"");
        if (task.OpenOutputFile(adapter.OutputName(), false) < 0)
            throw FFmpegException(task.LastError);
        task.Transcode();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return false;
    }
    return true;
}

}  // namespace benchroad
