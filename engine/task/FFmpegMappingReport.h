#pragma once
// The stream mapping of a conversion in the log (FFmpegMappingReport.cpp).
class TCustomFFmpeg;

// Every output's format, then one line per output stream saying where it comes from.
void PrintStreamMapping(TCustomFFmpeg& task);
