#include "engine/entrypoints/avcodec.h"

namespace libav {
decltype(&::avcodec_version) avcodec_version = nullptr;
decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
decltype(&::avcodec_find_encoder) avcodec_find_encoder = nullptr;
}  // namespace libav

const TEntryPointList& AvcodecEntryPoints() {
    static const TEntryPointList list = {
        {"avcodec_version", reinterpret_cast<void**>(&libav::avcodec_version)},
        {"avcodec_find_decoder", reinterpret_cast<void**>(&libav::avcodec_find_decoder)},
        {"avcodec_find_encoder", reinterpret_cast<void**>(&libav::avcodec_find_encoder)},
    };
    return list;
}
