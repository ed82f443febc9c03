#pragma once
// Stream copy (FFmpegStreamCopy.cpp): packets of an input stream to an output as they are.
struct AVPacket;
class TCustomFFmpeg;
struct TInputStream;
struct TOutputStream;

// Writes a copy of the packet, its timestamps in the output stream's time base. Returns 0 or a
// failure (FFmpegStepFailure.h).
int CopyPacket(TCustomFFmpeg& task, TInputStream& ist, TOutputStream& ost, const AVPacket* packet);
