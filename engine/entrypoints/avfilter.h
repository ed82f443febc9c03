#pragma once
// Entry points of libavfilter, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavfilter/avfilter.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_AVFILTER_ENTRY_POINTS(X) \
    X(avfilter_version)                  \
    X(avfilter_get_by_name)

CLIPGIF_DECLARE_ENTRY_POINTS(AvfilterEntryPoints, CLIPGIF_AVFILTER_ENTRY_POINTS)
