#include "engine/entrypoints/avdevice.h"

namespace libav {
decltype(&::avdevice_version) avdevice_version = nullptr;
decltype(&::avdevice_register_all) avdevice_register_all = nullptr;
}  // namespace libav

const TEntryPointList& AvdeviceEntryPoints() {
    static const TEntryPointList list = {
        {"avdevice_version", reinterpret_cast<void**>(&libav::avdevice_version)},
        {"avdevice_register_all", reinterpret_cast<void**>(&libav::avdevice_register_all)},
    };
    return list;
}
