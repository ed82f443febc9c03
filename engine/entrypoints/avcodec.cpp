#include "engine/entrypoints/avcodec.h"

namespace libav {
decltype(&::avcodec_version) avcodec_version = nullptr;
decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
decltype(&::avcodec_find_encoder) avcodec_find_encoder = nullptr;
decltype(&::av_packet_alloc) av_packet_alloc = nullptr;
decltype(&::av_packet_free) av_packet_free = nullptr;
decltype(&::av_new_packet) av_new_packet = nullptr;
decltype(&::avcodec_alloc_context3) avcodec_alloc_context3 = nullptr;
decltype(&::avcodec_free_context) avcodec_free_context = nullptr;
decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context = nullptr;
decltype(&::avcodec_open2) avcodec_open2 = nullptr;
decltype(&::avcodec_send_packet) avcodec_send_packet = nullptr;
decltype(&::avcodec_receive_frame) avcodec_receive_frame = nullptr;
decltype(&::avcodec_flush_buffers) avcodec_flush_buffers = nullptr;
decltype(&::avcodec_string) avcodec_string = nullptr;
decltype(&::av_packet_unref) av_packet_unref = nullptr;
decltype(&::avcodec_get_class) avcodec_get_class = nullptr;
decltype(&::av_bsf_free) av_bsf_free = nullptr;
decltype(&::av_bsf_get_by_name) av_bsf_get_by_name = nullptr;
decltype(&::av_bsf_alloc) av_bsf_alloc = nullptr;
decltype(&::avcodec_find_decoder_by_name) avcodec_find_decoder_by_name = nullptr;
decltype(&::avcodec_find_encoder_by_name) avcodec_find_encoder_by_name = nullptr;
}  // namespace libav

const TEntryPointList& AvcodecEntryPoints() {
    static const TEntryPointList list = {
        {"avcodec_version", reinterpret_cast<void**>(&libav::avcodec_version)},
        {"avcodec_find_decoder", reinterpret_cast<void**>(&libav::avcodec_find_decoder)},
        {"avcodec_find_encoder", reinterpret_cast<void**>(&libav::avcodec_find_encoder)},
        {"av_packet_alloc", reinterpret_cast<void**>(&libav::av_packet_alloc)},
        {"av_packet_free", reinterpret_cast<void**>(&libav::av_packet_free)},
        {"av_new_packet", reinterpret_cast<void**>(&libav::av_new_packet)},
        {"avcodec_alloc_context3", reinterpret_cast<void**>(&libav::avcodec_alloc_context3)},
        {"avcodec_free_context", reinterpret_cast<void**>(&libav::avcodec_free_context)},
        {"avcodec_parameters_to_context",
         reinterpret_cast<void**>(&libav::avcodec_parameters_to_context)},
        {"avcodec_open2", reinterpret_cast<void**>(&libav::avcodec_open2)},
        {"avcodec_send_packet", reinterpret_cast<void**>(&libav::avcodec_send_packet)},
        {"avcodec_receive_frame", reinterpret_cast<void**>(&libav::avcodec_receive_frame)},
        {"avcodec_flush_buffers", reinterpret_cast<void**>(&libav::avcodec_flush_buffers)},
        {"avcodec_string", reinterpret_cast<void**>(&libav::avcodec_string)},
        {"av_packet_unref", reinterpret_cast<void**>(&libav::av_packet_unref)},
        {"avcodec_get_class", reinterpret_cast<void**>(&libav::avcodec_get_class)},
        {"av_bsf_free", reinterpret_cast<void**>(&libav::av_bsf_free)},
        {"av_bsf_get_by_name", reinterpret_cast<void**>(&libav::av_bsf_get_by_name)},
        {"av_bsf_alloc", reinterpret_cast<void**>(&libav::av_bsf_alloc)},
        {"avcodec_find_decoder_by_name",
         reinterpret_cast<void**>(&libav::avcodec_find_decoder_by_name)},
        {"avcodec_find_encoder_by_name",
         reinterpret_cast<void**>(&libav::avcodec_find_encoder_by_name)},
    };
    return list;
}
