#pragma once
// Entry points of libavformat, bound at run time by TFFLoader (engine/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avformat_version) avformat_version;
extern decltype(&::avformat_network_init) avformat_network_init;
extern decltype(&::avformat_network_deinit) avformat_network_deinit;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvformatEntryPoints();
