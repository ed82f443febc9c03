#include "engine/entrypoints/avfilter.h"

namespace libav {
decltype(&::avfilter_version) avfilter_version = nullptr;
decltype(&::avfilter_get_by_name) avfilter_get_by_name = nullptr;
}  // namespace libav

const TEntryPointList& AvfilterEntryPoints() {
    static const TEntryPointList list = {
        {"avfilter_version", reinterpret_cast<void**>(&libav::avfilter_version)},
        {"avfilter_get_by_name", reinterpret_cast<void**>(&libav::avfilter_get_by_name)},
    };
    return list;
}
