#pragma once
// Stream specifiers: which streams of a file an option written as "name:spec" applies to.
// "" (every stream), "3" (stream index 3), "v", "a", "s", "d", "t" (every stream of that type),
// "v:1" (the second video stream), "p:101" (the streams of program 101), "p:101:0" (its first).
#include <string>

struct AVFormatContext;
struct AVStream;

// The stream specifier check shared by every per-stream consumer: 1 when the stream matches,
// 0 when not, kErrorInvalidArgument for a malformed specifier (which is logged).
int check_stream_specifier(AVFormatContext* s, AVStream* st, const std::string& spec);
