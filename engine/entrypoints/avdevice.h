#pragma once
// Entry points of libavdevice, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavdevice/avdevice.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_AVDEVICE_ENTRY_POINTS(X) \
    X(avdevice_version)                  \
    X(avdevice_register_all)

CLIPGIF_DECLARE_ENTRY_POINTS(AvdeviceEntryPoints, CLIPGIF_AVDEVICE_ENTRY_POINTS)
