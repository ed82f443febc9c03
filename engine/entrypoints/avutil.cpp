#include "engine/entrypoints/avutil.h"

namespace libav {
decltype(&::avutil_version) avutil_version = nullptr;
decltype(&::av_log) av_log = nullptr;
decltype(&::av_log_set_callback) av_log_set_callback = nullptr;
decltype(&::av_log_set_level) av_log_set_level = nullptr;
decltype(&::av_log_get_level) av_log_get_level = nullptr;
decltype(&::av_malloc) av_malloc = nullptr;
decltype(&::av_free) av_free = nullptr;
decltype(&::av_rescale_q) av_rescale_q = nullptr;
decltype(&::av_dict_get) av_dict_get = nullptr;
decltype(&::av_get_media_type_string) av_get_media_type_string = nullptr;
decltype(&::av_image_get_buffer_size) av_image_get_buffer_size = nullptr;
decltype(&::av_image_fill_arrays) av_image_fill_arrays = nullptr;
decltype(&::av_pix_fmt_desc_get) av_pix_fmt_desc_get = nullptr;
decltype(&::av_frame_alloc) av_frame_alloc = nullptr;
decltype(&::av_frame_free) av_frame_free = nullptr;
decltype(&::av_frame_get_buffer) av_frame_get_buffer = nullptr;
decltype(&::av_frame_copy_props) av_frame_copy_props = nullptr;
decltype(&::av_dict_set) av_dict_set = nullptr;
decltype(&::av_dict_free) av_dict_free = nullptr;
decltype(&::av_dict_copy) av_dict_copy = nullptr;
decltype(&::av_dict_count) av_dict_count = nullptr;
decltype(&::av_opt_set_int) av_opt_set_int = nullptr;
decltype(&::av_opt_get_int) av_opt_get_int = nullptr;
decltype(&::av_reduce) av_reduce = nullptr;
decltype(&::av_frame_unref) av_frame_unref = nullptr;
decltype(&::av_frame_move_ref) av_frame_move_ref = nullptr;
decltype(&::av_parse_time) av_parse_time = nullptr;
decltype(&::av_opt_find) av_opt_find = nullptr;
decltype(&::av_opt_set) av_opt_set = nullptr;
decltype(&::av_max_alloc) av_max_alloc = nullptr;
decltype(&::av_gettime) av_gettime = nullptr;
decltype(&::av_strdup) av_strdup = nullptr;
decltype(&::av_mallocz) av_mallocz = nullptr;
decltype(&::av_realloc) av_realloc = nullptr;
decltype(&::av_freep) av_freep = nullptr;
decltype(&::av_dynarray_add_nofree) av_dynarray_add_nofree = nullptr;
decltype(&::av_parse_video_rate) av_parse_video_rate = nullptr;
decltype(&::av_parse_video_size) av_parse_video_size = nullptr;
decltype(&::av_get_pix_fmt) av_get_pix_fmt = nullptr;
decltype(&::av_get_sample_fmt) av_get_sample_fmt = nullptr;
decltype(&::av_frame_ref) av_frame_ref = nullptr;
}  // namespace libav

const TEntryPointList& AvutilEntryPoints() {
    static const TEntryPointList list = {
        {"avutil_version", reinterpret_cast<void**>(&libav::avutil_version)},
        {"av_log", reinterpret_cast<void**>(&libav::av_log)},
        {"av_log_set_callback", reinterpret_cast<void**>(&libav::av_log_set_callback)},
        {"av_log_set_level", reinterpret_cast<void**>(&libav::av_log_set_level)},
        {"av_log_get_level", reinterpret_cast<void**>(&libav::av_log_get_level)},
        {"av_malloc", reinterpret_cast<void**>(&libav::av_malloc)},
        {"av_free", reinterpret_cast<void**>(&libav::av_free)},
        {"av_rescale_q", reinterpret_cast<void**>(&libav::av_rescale_q)},
        {"av_dict_get", reinterpret_cast<void**>(&libav::av_dict_get)},
        {"av_get_media_type_string", reinterpret_cast<void**>(&libav::av_get_media_type_string)},
        {"av_image_get_buffer_size", reinterpret_cast<void**>(&libav::av_image_get_buffer_size)},
        {"av_image_fill_arrays", reinterpret_cast<void**>(&libav::av_image_fill_arrays)},
        {"av_pix_fmt_desc_get", reinterpret_cast<void**>(&libav::av_pix_fmt_desc_get)},
        {"av_frame_alloc", reinterpret_cast<void**>(&libav::av_frame_alloc)},
        {"av_frame_free", reinterpret_cast<void**>(&libav::av_frame_free)},
        {"av_frame_get_buffer", reinterpret_cast<void**>(&libav::av_frame_get_buffer)},
        {"av_frame_copy_props", reinterpret_cast<void**>(&libav::av_frame_copy_props)},
        {"av_dict_set", reinterpret_cast<void**>(&libav::av_dict_set)},
        {"av_dict_free", reinterpret_cast<void**>(&libav::av_dict_free)},
        {"av_dict_copy", reinterpret_cast<void**>(&libav::av_dict_copy)},
        {"av_dict_count", reinterpret_cast<void**>(&libav::av_dict_count)},
        {"av_opt_set_int", reinterpret_cast<void**>(&libav::av_opt_set_int)},
        {"av_opt_get_int", reinterpret_cast<void**>(&libav::av_opt_get_int)},
        {"av_reduce", reinterpret_cast<void**>(&libav::av_reduce)},
        {"av_frame_unref", reinterpret_cast<void**>(&libav::av_frame_unref)},
        {"av_frame_move_ref", reinterpret_cast<void**>(&libav::av_frame_move_ref)},
        {"av_parse_time", reinterpret_cast<void**>(&libav::av_parse_time)},
        {"av_opt_find", reinterpret_cast<void**>(&libav::av_opt_find)},
        {"av_opt_set", reinterpret_cast<void**>(&libav::av_opt_set)},
        {"av_max_alloc", reinterpret_cast<void**>(&libav::av_max_alloc)},
        {"av_gettime", reinterpret_cast<void**>(&libav::av_gettime)},
        {"av_strdup", reinterpret_cast<void**>(&libav::av_strdup)},
        {"av_mallocz", reinterpret_cast<void**>(&libav::av_mallocz)},
        {"av_realloc", reinterpret_cast<void**>(&libav::av_realloc)},
        {"av_freep", reinterpret_cast<void**>(&libav::av_freep)},
        {"av_dynarray_add_nofree", reinterpret_cast<void**>(&libav::av_dynarray_add_nofree)},
        {"av_parse_video_rate", reinterpret_cast<void**>(&libav::av_parse_video_rate)},
        {"av_parse_video_size", reinterpret_cast<void**>(&libav::av_parse_video_size)},
        {"av_get_pix_fmt", reinterpret_cast<void**>(&libav::av_get_pix_fmt)},
        {"av_get_sample_fmt", reinterpret_cast<void**>(&libav::av_get_sample_fmt)},
        {"av_frame_ref", reinterpret_cast<void**>(&libav::av_frame_ref)},
    };
    return list;
}
