#pragma once
// Entry points of libavdevice, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavdevice/avdevice.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avdevice_version) avdevice_version;
extern decltype(&::avdevice_register_all) avdevice_register_all;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvdeviceEntryPoints();
