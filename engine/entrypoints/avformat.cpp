#include "engine/entrypoints/avformat.h"

namespace libav {
decltype(&::avformat_version) avformat_version = nullptr;
decltype(&::avformat_network_init) avformat_network_init = nullptr;
decltype(&::avformat_network_deinit) avformat_network_deinit = nullptr;
}  // namespace libav

const TEntryPointList& AvformatEntryPoints() {
    static const TEntryPointList list = {
        {"avformat_version", reinterpret_cast<void**>(&libav::avformat_version)},
        {"avformat_network_init", reinterpret_cast<void**>(&libav::avformat_network_init)},
        {"avformat_network_deinit", reinterpret_cast<void**>(&libav::avformat_network_deinit)},
    };
    return list;
}
