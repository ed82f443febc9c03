#pragma once
// Entry points of libavfilter, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavfilter/avfilter.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avfilter_version) avfilter_version;
extern decltype(&::avfilter_get_by_name) avfilter_get_by_name;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvfilterEntryPoints();
