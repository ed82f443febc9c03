#pragma once
// Join (FFmpegJoin.cpp): several inputs converted one after another into one output, each
// through a group of output streams of its own.
class TCustomFFmpeg;

// At the end of joined input j: drains its decoders and graphs and moves on to input j + 1.
// Returns 0 or a failure (FFmpegStepFailure.h).
int SwitchJoinInput(TCustomFFmpeg& task);
