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
    };
    return list;
}
