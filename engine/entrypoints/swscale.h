#pragma once
// Entry points of libswscale, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libswscale/swscale.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_SWSCALE_ENTRY_POINTS(X) \
    X(swscale_version)                  \
    X(sws_getCachedContext)             \
    X(sws_scale)                        \
    X(sws_freeContext)                  \
    X(sws_alloc_context)                \
    X(sws_getContext)                   \
    X(sws_get_class)                    \
    X(sws_isSupportedInput)             \
    X(sws_isSupportedOutput)

CLIPGIF_DECLARE_ENTRY_POINTS(SwscaleEntryPoints, CLIPGIF_SWSCALE_ENTRY_POINTS)
