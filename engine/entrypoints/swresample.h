#pragma once
// Entry points of libswresample, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libswresample/swresample.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_SWRESAMPLE_ENTRY_POINTS(X) \
    X(swresample_version)                  \
    X(swr_alloc)                           \
    X(swr_init)                            \
    X(swr_free)                            \
    X(swr_convert)                         \
    X(swr_set_compensation)                \
    X(swr_set_channel_mapping)

CLIPGIF_DECLARE_ENTRY_POINTS(SwresampleEntryPoints, CLIPGIF_SWRESAMPLE_ENTRY_POINTS)
