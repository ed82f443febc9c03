#include "engine/entrypoints/avcodec.h"

namespace libav {
decltype(&::avcodec_version) avcodec_version = nullptr;
decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
decltype(&::avcodec_find_encoder) avcodec_find_encoder = nullptr;
decltype(&::av_packet_alloc) av_packet_alloc = nullptr;
decltype(&::av_packet_free) av_packet_free = nullptr;
decltype(&::av_new_packet) av_new_packet = nullptr;
}  // namespace libav

const TEntryPointList& AvcodecEntryPoints() {
    static const TEntryPointList list = {
        {"avcodec_version", reinterpret_cast<void**>(&libav::avcodec_version)},
        {"avcodec_find_decoder", reinterpret_cast<void**>(&libav::avcodec_find_decoder)},
        {"avcodec_find_encoder", reinterpret_cast<void**>(&libav::avcodec_find_encoder)},
        {"av_packet_alloc", reinterpret_cast<void**>(&libav::av_packet_alloc)},
        {"av_packet_free", reinterpret_cast<void**>(&libav::av_packet_free)},
        {"av_new_packet", reinterpret_cast<void**>(&libav::av_new_packet)},
    };
    return list;
}
