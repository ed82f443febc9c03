#pragma once
// Entry points of libavcodec, bound at run time by TFFLoader (engine/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avcodec_version) avcodec_version;
extern decltype(&::avcodec_find_decoder) avcodec_find_decoder;
extern decltype(&::avcodec_find_encoder) avcodec_find_encoder;
extern decltype(&::av_packet_alloc) av_packet_alloc;
extern decltype(&::av_packet_free) av_packet_free;
extern decltype(&::av_new_packet) av_new_packet;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvcodecEntryPoints();
