#pragma once
// How the steps of a conversion fail. A step returns a negative error code (AVERROR style:
// kErrorInvalidArgument, kErrorOutOfMemory, kErrorOther or a library's own) and every step above
// it returns that code unchanged. The step that knows what failed words it for the user once,
// with FailStep; the text waits in the run state (TTaskRunState::StepFailure) for the driver.
// Steps never write LastError: the drivers alone turn a failure into it, the conversion
// (TCustomFFmpeg::Transcode, which raises FFmpegException with the text) and the join
// preparation (TCustomFFmpeg::PrepareJoin). A failure no step worded gets the driver's words.
//
// What goes wrong without ending the conversion is no failure: a decoder's error on a damaged
// packet, for one, is handed up beside the result and logged by the loop, which goes on.
#include <string>

class TCustomFFmpeg;

// Keeps `text` as what failed, unless a failure of this run was worded already (the first one
// is the one reported), and returns `code`.
int FailStep(TCustomFFmpeg& task, int code, const std::string& text);
// FailStep for a failure that breaks off the conversion's work: the text is logged at llFatal
// as well, where it happened.
int FailStepFatal(TCustomFFmpeg& task, int code, const std::string& text);
// The driver's side: the text of the failure, or, when no step worded it, ErrorText of `context`
// and the code ("context: text of the code"); the run state keeps it no longer.
std::string TakeStepFailure(TCustomFFmpeg& task, int code, const std::string& context);
