#include "engine/entrypoints/swresample.h"

namespace libav {
decltype(&::swresample_version) swresample_version = nullptr;
}  // namespace libav

const TEntryPointList& SwresampleEntryPoints() {
    static const TEntryPointList list = {
        {"swresample_version", reinterpret_cast<void**>(&libav::swresample_version)},
    };
    return list;
}
