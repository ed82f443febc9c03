#pragma once
// Entry points of libavfilter, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_AVFILTER_ENTRY_POINTS(X) \
    X(avfilter_version)                  \
    X(avfilter_get_by_name)              \
    X(avfilter_graph_alloc)              \
    X(avfilter_graph_create_filter)      \
    X(avfilter_link)                     \
    X(avfilter_graph_parse_ptr)          \
    X(avfilter_graph_config)             \
    X(avfilter_graph_free)               \
    X(avfilter_inout_alloc)              \
    X(avfilter_inout_free)               \
    X(av_buffersrc_add_frame_flags)      \
    X(av_buffersrc_close)                \
    X(av_buffersink_get_frame)           \
    X(av_buffersink_get_time_base)       \
    X(av_buffersink_get_w)               \
    X(av_buffersink_get_h)               \
    X(av_buffersink_get_frame_rate)      \
    X(av_buffersink_get_sample_aspect_ratio)

CLIPGIF_DECLARE_ENTRY_POINTS(AvfilterEntryPoints, CLIPGIF_AVFILTER_ENTRY_POINTS)
