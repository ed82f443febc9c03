#pragma once
// Each output stream's parameters from its source stream (FFmpegSetupStreams.cpp).
class TCustomFFmpeg;
struct TOutputStream;

// Returns 0 or a failure, worded (FFmpegStepFailure.h).
int SetupOutputStream(TCustomFFmpeg& task, TOutputStream& ost, int ostIndex);
