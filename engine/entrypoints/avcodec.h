#pragma once
// Entry points of libavcodec, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_AVCODEC_ENTRY_POINTS(X)  \
    X(avcodec_version)                   \
    X(avcodec_find_decoder)              \
    X(avcodec_find_encoder)              \
    X(av_packet_alloc)                   \
    X(av_packet_free)                    \
    X(av_new_packet)                     \
    X(avcodec_alloc_context3)            \
    X(avcodec_free_context)              \
    X(avcodec_parameters_to_context)     \
    X(avcodec_open2)                     \
    X(avcodec_send_packet)               \
    X(avcodec_receive_frame)             \
    X(avcodec_flush_buffers)             \
    X(avcodec_string)                    \
    X(av_packet_unref)                   \
    X(avcodec_get_class)                 \
    X(av_bsf_free)                       \
    X(av_bsf_get_by_name)                \
    X(av_bsf_alloc)                      \
    X(avcodec_find_decoder_by_name)      \
    X(avcodec_find_encoder_by_name)      \
    X(avcodec_close)                     \
    X(avcodec_send_frame)                \
    X(avcodec_receive_packet)            \
    X(avcodec_parameters_from_context)   \
    X(avcodec_parameters_copy)           \
    X(avcodec_default_get_buffer2)       \
    X(avcodec_align_dimensions2)         \
    X(avcodec_get_name)                  \
    X(avcodec_decode_subtitle2)          \
    X(avcodec_encode_subtitle)           \
    X(avsubtitle_free)                   \
    X(av_bsf_init)                       \
    X(av_bsf_send_packet)                \
    X(av_bsf_receive_packet)             \
    X(av_packet_rescale_ts)              \
    X(av_packet_ref)                     \
    X(av_packet_move_ref)                \
    X(av_packet_get_side_data)           \
    X(avcodec_default_get_encode_buffer) \
    X(avcodec_is_open)

CLIPGIF_DECLARE_ENTRY_POINTS(AvcodecEntryPoints, CLIPGIF_AVCODEC_ENTRY_POINTS)
