#pragma once
// Entry points of libswscale, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libswscale/swscale.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::swscale_version) swscale_version;
extern decltype(&::sws_getCachedContext) sws_getCachedContext;
extern decltype(&::sws_scale) sws_scale;
extern decltype(&::sws_freeContext) sws_freeContext;
extern decltype(&::sws_alloc_context) sws_alloc_context;
extern decltype(&::sws_getContext) sws_getContext;
extern decltype(&::sws_get_class) sws_get_class;
extern decltype(&::sws_isSupportedInput) sws_isSupportedInput;
extern decltype(&::sws_isSupportedOutput) sws_isSupportedOutput;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& SwscaleEntryPoints();
