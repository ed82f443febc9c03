#pragma once
// Entry points of libavutil, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: a line in the list below. Every entry is required: a library lacking one does not
// load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/buffer.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
}

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_AVUTIL_ENTRY_POINTS(X)  \
    X(avutil_version)                   \
    X(av_log)                           \
    X(av_log_set_callback)              \
    X(av_log_set_level)                 \
    X(av_log_get_level)                 \
    X(av_malloc)                        \
    X(av_free)                          \
    X(av_rescale_q)                     \
    X(av_dict_get)                      \
    X(av_get_media_type_string)         \
    X(av_image_get_buffer_size)         \
    X(av_image_fill_arrays)             \
    X(av_pix_fmt_desc_get)              \
    X(av_frame_alloc)                   \
    X(av_frame_free)                    \
    X(av_frame_get_buffer)              \
    X(av_frame_copy_props)              \
    X(av_dict_set)                      \
    X(av_dict_free)                     \
    X(av_dict_copy)                     \
    X(av_dict_count)                    \
    X(av_opt_set_int)                   \
    X(av_opt_get_int)                   \
    X(av_reduce)                        \
    X(av_frame_unref)                   \
    X(av_frame_move_ref)                \
    X(av_parse_time)                    \
    X(av_opt_find)                      \
    X(av_opt_set)                       \
    X(av_max_alloc)                     \
    X(av_gettime)                       \
    X(av_gettime_relative)              \
    X(av_strdup)                        \
    X(av_mallocz)                       \
    X(av_realloc)                       \
    X(av_freep)                         \
    X(av_dynarray_add_nofree)           \
    X(av_parse_video_rate)              \
    X(av_parse_video_size)              \
    X(av_get_pix_fmt)                   \
    X(av_get_sample_fmt)                \
    X(av_frame_ref)                     \
    X(av_buffer_pool_init2)             \
    X(av_buffer_pool_init)              \
    X(av_buffer_pool_get)               \
    X(av_buffer_pool_uninit)            \
    X(av_buffer_pool_buffer_get_opaque) \
    X(av_image_check_size2)             \
    X(av_image_fill_linesizes)          \
    X(av_image_fill_plane_sizes)        \
    X(av_image_fill_pointers)           \
    X(av_frame_copy)                    \
    X(av_frame_make_writable)           \
    X(av_frame_is_writable)             \
    X(av_samples_get_buffer_size)       \
    X(av_samples_fill_arrays)           \
    X(av_samples_set_silence)           \
    X(av_samples_copy)                  \
    X(av_audio_fifo_alloc)              \
    X(av_audio_fifo_free)               \
    X(av_audio_fifo_write)              \
    X(av_audio_fifo_read)               \
    X(av_audio_fifo_size)               \
    X(av_audio_fifo_drain)              \
    X(av_fast_malloc)                   \
    X(av_get_bytes_per_sample)          \
    X(av_get_sample_fmt_name)           \
    X(av_get_pix_fmt_name)              \
    X(av_sample_fmt_is_planar)          \
    X(av_channel_layout_default)        \
    X(av_channel_layout_copy)           \
    X(av_channel_layout_compare)        \
    X(av_channel_layout_uninit)         \
    X(av_find_nearest_q_idx)            \
    X(av_opt_set_bin)                   \
    X(av_opt_set_chlayout)              \
    X(av_get_picture_type_char)         \
    X(av_d2q)                           \
    X(av_rescale)                       \
    X(av_rescale_q_rnd)                 \
    X(av_pix_fmt_count_planes)          \
    X(av_find_best_pix_fmt_of_2)        \
    X(av_buffer_alloc)                  \
    X(av_buffer_unref)                  \
    X(av_opt_set_double)                \
    X(av_display_rotation_get)          \
    X(av_channel_layout_describe)

CLIPGIF_DECLARE_ENTRY_POINTS(AvutilEntryPoints, CLIPGIF_AVUTIL_ENTRY_POINTS)
