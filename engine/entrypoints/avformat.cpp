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
decltype(&::av_find_input_format) av_find_input_format = nullptr;
decltype(&::avformat_alloc_context) avformat_alloc_context = nullptr;
decltype(&::avformat_open_input) avformat_open_input = nullptr;
decltype(&::avformat_find_stream_info) avformat_find_stream_info = nullptr;
decltype(&::avformat_close_input) avformat_close_input = nullptr;
decltype(&::av_read_frame) av_read_frame = nullptr;
decltype(&::avformat_seek_file) avformat_seek_file = nullptr;
decltype(&::av_seek_frame) av_seek_frame = nullptr;
decltype(&::avio_seek) avio_seek = nullptr;
decltype(&::avio_size) avio_size = nullptr;
decltype(&::avformat_get_class) avformat_get_class = nullptr;
decltype(&::avio_closep) avio_closep = nullptr;
decltype(&::avio_open2) avio_open2 = nullptr;
decltype(&::avio_check) avio_check = nullptr;
decltype(&::avio_write) avio_write = nullptr;
decltype(&::avio_flush) avio_flush = nullptr;
decltype(&::avio_read) avio_read = nullptr;
decltype(&::av_dump_format) av_dump_format = nullptr;
decltype(&::av_guess_codec) av_guess_codec = nullptr;
decltype(&::av_filename_number_test) av_filename_number_test = nullptr;
}  // namespace libav

const TEntryPointList& AvformatEntryPoints() {
    static const TEntryPointList list = {
        {"avformat_version", reinterpret_cast<void**>(&libav::avformat_version)},
        {"avformat_network_init", reinterpret_cast<void**>(&libav::avformat_network_init)},
        {"avformat_network_deinit", reinterpret_cast<void**>(&libav::avformat_network_deinit)},
        {"av_muxer_iterate", reinterpret_cast<void**>(&libav::av_muxer_iterate)},
        {"av_guess_format", reinterpret_cast<void**>(&libav::av_guess_format)},
        {"avformat_alloc_output_context2",
         reinterpret_cast<void**>(&libav::avformat_alloc_output_context2)},
        {"avformat_free_context", reinterpret_cast<void**>(&libav::avformat_free_context)},
        {"avformat_new_stream", reinterpret_cast<void**>(&libav::avformat_new_stream)},
        {"avformat_write_header", reinterpret_cast<void**>(&libav::avformat_write_header)},
        {"av_write_frame", reinterpret_cast<void**>(&libav::av_write_frame)},
        {"av_interleaved_write_frame",
         reinterpret_cast<void**>(&libav::av_interleaved_write_frame)},
        {"av_write_trailer", reinterpret_cast<void**>(&libav::av_write_trailer)},
        {"av_find_input_format", reinterpret_cast<void**>(&libav::av_find_input_format)},
        {"avformat_alloc_context", reinterpret_cast<void**>(&libav::avformat_alloc_context)},
        {"avformat_open_input", reinterpret_cast<void**>(&libav::avformat_open_input)},
        {"avformat_find_stream_info", reinterpret_cast<void**>(&libav::avformat_find_stream_info)},
        {"avformat_close_input", reinterpret_cast<void**>(&libav::avformat_close_input)},
        {"av_read_frame", reinterpret_cast<void**>(&libav::av_read_frame)},
        {"avformat_seek_file", reinterpret_cast<void**>(&libav::avformat_seek_file)},
        {"av_seek_frame", reinterpret_cast<void**>(&libav::av_seek_frame)},
        {"avio_seek", reinterpret_cast<void**>(&libav::avio_seek)},
        {"avio_size", reinterpret_cast<void**>(&libav::avio_size)},
        {"avformat_get_class", reinterpret_cast<void**>(&libav::avformat_get_class)},
        {"avio_closep", reinterpret_cast<void**>(&libav::avio_closep)},
        {"avio_open2", reinterpret_cast<void**>(&libav::avio_open2)},
        {"avio_check", reinterpret_cast<void**>(&libav::avio_check)},
        {"avio_write", reinterpret_cast<void**>(&libav::avio_write)},
        {"avio_flush", reinterpret_cast<void**>(&libav::avio_flush)},
        {"avio_read", reinterpret_cast<void**>(&libav::avio_read)},
        {"av_dump_format", reinterpret_cast<void**>(&libav::av_dump_format)},
        {"av_guess_codec", reinterpret_cast<void**>(&libav::av_guess_codec)},
        {"av_filename_number_test", reinterpret_cast<void**>(&libav::av_filename_number_test)},
    };
    return list;
}
