#pragma once
// The filter graph of an encoded video stream (FFmpegVideoGraph.cpp).
struct TInputStream;
struct TOutputStream;

// "src" (buffer) -> [the turn upright] -> [scale] -> the -vf text -> "out" (buffersink of the
// encoder's format), in ost.Graph. Returns 0 or the libraries' negative error.
int BuildVideoGraph(TInputStream& ist, TOutputStream& ost);
