#pragma once
// Entry points of libavformat, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_AVFORMAT_ENTRY_POINTS(X) \
    X(avformat_version)                  \
    X(avformat_network_init)             \
    X(avformat_network_deinit)           \
    X(av_muxer_iterate)                  \
    X(av_guess_format)                   \
    X(avformat_alloc_output_context2)    \
    X(avformat_free_context)             \
    X(avformat_new_stream)               \
    X(avformat_write_header)             \
    X(av_write_frame)                    \
    X(av_interleaved_write_frame)        \
    X(av_write_trailer)                  \
    X(av_find_input_format)              \
    X(avformat_alloc_context)            \
    X(avformat_open_input)               \
    X(avformat_find_stream_info)         \
    X(avformat_close_input)              \
    X(av_read_frame)                     \
    X(avformat_seek_file)                \
    X(av_seek_frame)                     \
    X(avio_seek)                         \
    X(avio_size)                         \
    X(avformat_get_class)                \
    X(avio_closep)                       \
    X(avio_open2)                        \
    X(avio_check)                        \
    X(avio_write)                        \
    X(avio_flush)                        \
    X(avio_read)                         \
    X(av_dump_format)                    \
    X(av_guess_codec)                    \
    X(av_filename_number_test)           \
    X(av_sdp_create)                     \
    X(av_pkt_dump_log2)                  \
    X(av_codec_get_tag)                  \
    X(av_stream_get_side_data)           \
    X(avformat_index_get_entries_count)  \
    X(avformat_index_get_entry)          \
    X(av_codec_get_id)

CLIPGIF_DECLARE_ENTRY_POINTS(AvformatEntryPoints, CLIPGIF_AVFORMAT_ENTRY_POINTS)
