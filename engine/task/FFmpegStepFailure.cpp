#include "engine/task/FFmpegStepFailure.h"

#include "engine/core/FFUtils.h"
#include "engine/task/FFmpegTask.h"

int FailStep(TCustomFFmpeg& task, int code, const std::string& text) {
    if (task.Run.StepFailure.empty()) task.Run.StepFailure = text;
    return code;
}

int FailStepFatal(TCustomFFmpeg& task, int code, const std::string& text) {
    task.Log(llFatal, text);
    return FailStep(task, code, text);
}

std::string TakeStepFailure(TCustomFFmpeg& task, int code, const std::string& context) {
    std::string text;
    text.swap(task.Run.StepFailure);
    return text.empty() ? ErrorText(context, code) : text;
}
