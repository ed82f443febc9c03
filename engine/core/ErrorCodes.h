#pragma once
// The error numbers the engine's operations return, as FFmpeg's calls do: the negative of a
// system error number (the libraries' AVERROR(e)), or -1 for a failure of no particular kind.
#include <cerrno>

constexpr int kErrorOther = -1;
constexpr int kErrorNotFound = -ENOENT;         // -2
constexpr int kErrorOutOfMemory = -ENOMEM;      // -12
constexpr int kErrorInvalidArgument = -EINVAL;  // -22
