#pragma once
// Entry points of libavutil, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
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
extern decltype(&::av_image_get_buffer_size) av_image_get_buffer_size;
extern decltype(&::av_image_fill_arrays) av_image_fill_arrays;
extern decltype(&::av_pix_fmt_desc_get) av_pix_fmt_desc_get;
extern decltype(&::av_frame_alloc) av_frame_alloc;
extern decltype(&::av_frame_free) av_frame_free;
extern decltype(&::av_frame_get_buffer) av_frame_get_buffer;
extern decltype(&::av_frame_copy_props) av_frame_copy_props;
extern decltype(&::av_dict_set) av_dict_set;
extern decltype(&::av_dict_free) av_dict_free;
extern decltype(&::av_dict_copy) av_dict_copy;
extern decltype(&::av_dict_count) av_dict_count;
extern decltype(&::av_opt_set_int) av_opt_set_int;
extern decltype(&::av_opt_get_int) av_opt_get_int;
extern decltype(&::av_reduce) av_reduce;
extern decltype(&::av_frame_unref) av_frame_unref;
extern decltype(&::av_frame_move_ref) av_frame_move_ref;
extern decltype(&::av_parse_time) av_parse_time;
extern decltype(&::av_opt_find) av_opt_find;
extern decltype(&::av_opt_set) av_opt_set;
extern decltype(&::av_max_alloc) av_max_alloc;
extern decltype(&::av_gettime) av_gettime;
extern decltype(&::av_strdup) av_strdup;
extern decltype(&::av_mallocz) av_mallocz;
extern decltype(&::av_realloc) av_realloc;
extern decltype(&::av_freep) av_freep;
extern decltype(&::av_dynarray_add_nofree) av_dynarray_add_nofree;
extern decltype(&::av_parse_video_rate) av_parse_video_rate;
extern decltype(&::av_parse_video_size) av_parse_video_size;
extern decltype(&::av_get_pix_fmt) av_get_pix_fmt;
extern decltype(&::av_get_sample_fmt) av_get_sample_fmt;
extern decltype(&::av_frame_ref) av_frame_ref;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvutilEntryPoints();
