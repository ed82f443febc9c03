#pragma once
// The callback the engine installs as FFmpeg's log callback (see FFLog.h).
#include <cstdarg>

// FFmpeg's filter level for the callback: messages above it are dropped before any work.
int AVLogLevel();
void SetAVLogLevel(int avLevel);

// Assembles FFmpeg's messages into lines per thread and hands them to FFLogger().LogLine.
// Lines are collected under the log lock and delivered after it is released, so a delivery
// that waits for the main thread never holds up another thread's FFmpeg call.
void FFmpegLogCallback(void* context, int level, const char* format, va_list args);
