#pragma once
// Entry points of libavformat, bound at run time by TFFLoader (engine/loader/FFLoad.h).
// To add one: an extern declaration here, its definition and a row at the end of the table in
// the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdint>  // before the FFmpeg headers: defines UINT64_C for C++
extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::avformat_version) avformat_version;
extern decltype(&::avformat_network_init) avformat_network_init;
extern decltype(&::avformat_network_deinit) avformat_network_deinit;
extern decltype(&::av_muxer_iterate) av_muxer_iterate;
extern decltype(&::av_guess_format) av_guess_format;
extern decltype(&::avformat_alloc_output_context2) avformat_alloc_output_context2;
extern decltype(&::avformat_free_context) avformat_free_context;
extern decltype(&::avformat_new_stream) avformat_new_stream;
extern decltype(&::avformat_write_header) avformat_write_header;
extern decltype(&::av_write_frame) av_write_frame;
extern decltype(&::av_interleaved_write_frame) av_interleaved_write_frame;
extern decltype(&::av_write_trailer) av_write_trailer;
extern decltype(&::av_find_input_format) av_find_input_format;
extern decltype(&::avformat_alloc_context) avformat_alloc_context;
extern decltype(&::avformat_open_input) avformat_open_input;
extern decltype(&::avformat_find_stream_info) avformat_find_stream_info;
extern decltype(&::avformat_close_input) avformat_close_input;
extern decltype(&::av_read_frame) av_read_frame;
extern decltype(&::avformat_seek_file) avformat_seek_file;
extern decltype(&::av_seek_frame) av_seek_frame;
extern decltype(&::avio_seek) avio_seek;
extern decltype(&::avio_size) avio_size;
extern decltype(&::avformat_get_class) avformat_get_class;
extern decltype(&::avio_closep) avio_closep;
extern decltype(&::avio_open2) avio_open2;
extern decltype(&::avio_check) avio_check;
extern decltype(&::avio_write) avio_write;
extern decltype(&::avio_flush) avio_flush;
extern decltype(&::avio_read) avio_read;
extern decltype(&::av_dump_format) av_dump_format;
extern decltype(&::av_guess_codec) av_guess_codec;
extern decltype(&::av_filename_number_test) av_filename_number_test;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& AvformatEntryPoints();
