#pragma once
// Entry points of libavcodec, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avcodec_version) avcodec_version;
extern decltype(&::avcodec_find_decoder) avcodec_find_decoder;
extern decltype(&::avcodec_find_encoder) avcodec_find_encoder;
extern decltype(&::av_packet_alloc) av_packet_alloc;
extern decltype(&::av_packet_free) av_packet_free;
extern decltype(&::av_new_packet) av_new_packet;
extern decltype(&::avcodec_alloc_context3) avcodec_alloc_context3;
extern decltype(&::avcodec_free_context) avcodec_free_context;
extern decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context;
extern decltype(&::avcodec_open2) avcodec_open2;
extern decltype(&::avcodec_send_packet) avcodec_send_packet;
extern decltype(&::avcodec_receive_frame) avcodec_receive_frame;
extern decltype(&::avcodec_flush_buffers) avcodec_flush_buffers;
extern decltype(&::avcodec_string) avcodec_string;
extern decltype(&::av_packet_unref) av_packet_unref;
extern decltype(&::avcodec_get_class) avcodec_get_class;
extern decltype(&::av_bsf_free) av_bsf_free;
extern decltype(&::av_bsf_get_by_name) av_bsf_get_by_name;
extern decltype(&::av_bsf_alloc) av_bsf_alloc;
extern decltype(&::avcodec_find_decoder_by_name) avcodec_find_decoder_by_name;
extern decltype(&::avcodec_find_encoder_by_name) avcodec_find_encoder_by_name;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvcodecEntryPoints();
