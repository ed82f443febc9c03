#pragma once
// The filter graph of an encoded video stream (FFmpegVideoGraph.cpp).
struct TInputStream;
struct TOutputStream;

// "src" (buffer) -> [the turn upright] -> [scale] -> the -vf text -> "out" (buffersink of the
// encoder's format), in ost.Graph, its filters sliced over `threads` threads (0: one a core).
// Returns 0 or the libraries' negative error.
int BuildVideoGraph(TInputStream& ist, TOutputStream& ost, int threads);
