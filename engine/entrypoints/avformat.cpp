#include "engine/entrypoints/avformat.h"

namespace libav {
decltype(&::avformat_version) avformat_version = nullptr;
decltype(&::avformat_network_init) avformat_network_init = nullptr;
decltype(&::avformat_network_deinit) avformat_network_deinit = nullptr;
decltype(&::av_muxer_iterate) av_muxer_iterate = nullptr;
decltype(&::av_guess_format) av_guess_format = nullptr;
decltype(&::avformat_alloc_output_context2) avformat_alloc_output_context2 = nullptr;
decltype(&::avformat_free_context) avformat_free_context = nullptr;
decltype(&::avformat_new_stream) avformat_new_stream = nullptr;
decltype(&::avformat_write_header) avformat_write_header = nullptr;
decltype(&::av_write_frame) av_write_frame = nullptr;
decltype(&::av_interleaved_write_frame) av_interleaved_write_frame = nullptr;
decltype(&::av_write_trailer) av_write_trailer = nullptr;
}  // namespace libav

const TEntryPointList& AvformatEntryPoints() {
    static const TEntryPointList list = {
        {"avformat_version", reinterpret_cast<void**>(&libav::avformat_version)},
        {"avformat_network_init", reinterpret_cast<void**>(&libav::avformat_network_init)},
        {"avformat_network_deinit", reinterpret_cast<void**>(&libav::avformat_network_deinit)},
        {"av_muxer_iterate", reinterpret_cast<void**>(&libav::av_muxer_iterate)},
        {"av_guess_format", reinterpret_cast<void**>(&libav::av_guess_format)},
        {"avformat_alloc_output_context2", reinterpret_cast<void**>(&libav::avformat_alloc_output_context2)},
        {"avformat_free_context", reinterpret_cast<void**>(&libav::avformat_free_context)},
        {"avformat_new_stream", reinterpret_cast<void**>(&libav::avformat_new_stream)},
        {"avformat_write_header", reinterpret_cast<void**>(&libav::avformat_write_header)},
        {"av_write_frame", reinterpret_cast<void**>(&libav::av_write_frame)},
        {"av_interleaved_write_frame", reinterpret_cast<void**>(&libav::av_interleaved_write_frame)},
        {"av_write_trailer", reinterpret_cast<void**>(&libav::av_write_trailer)},
    };
    return list;
}
