#include "engine/entrypoints/swscale.h"

namespace libav {
decltype(&::swscale_version) swscale_version = nullptr;
}  // namespace libav

const TEntryPointList& SwscaleEntryPoints() {
    static const TEntryPointList list = {
        {"swscale_version", reinterpret_cast<void**>(&libav::swscale_version)},
    };
    return list;
}
