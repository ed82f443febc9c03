#pragma once
// Entry points of libavutil, bound at run time by TFFLoader (engine/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avutil_version) avutil_version;
extern decltype(&::av_log) av_log;
extern decltype(&::av_log_set_callback) av_log_set_callback;
extern decltype(&::av_log_set_level) av_log_set_level;
extern decltype(&::av_log_get_level) av_log_get_level;
extern decltype(&::av_malloc) av_malloc;
extern decltype(&::av_free) av_free;
extern decltype(&::av_rescale_q) av_rescale_q;
extern decltype(&::av_dict_get) av_dict_get;
extern decltype(&::av_get_media_type_string) av_get_media_type_string;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvutilEntryPoints();
