#include "engine/entrypoints/swscale.h"

namespace libav {
decltype(&::swscale_version) swscale_version = nullptr;
decltype(&::sws_getCachedContext) sws_getCachedContext = nullptr;
decltype(&::sws_scale) sws_scale = nullptr;
decltype(&::sws_freeContext) sws_freeContext = nullptr;
decltype(&::sws_alloc_context) sws_alloc_context = nullptr;
}  // namespace libav

const TEntryPointList& SwscaleEntryPoints() {
    static const TEntryPointList list = {
        {"swscale_version", reinterpret_cast<void**>(&libav::swscale_version)},
        {"sws_getCachedContext", reinterpret_cast<void**>(&libav::sws_getCachedContext)},
        {"sws_scale", reinterpret_cast<void**>(&libav::sws_scale)},
        {"sws_freeContext", reinterpret_cast<void**>(&libav::sws_freeContext)},
        {"sws_alloc_context", reinterpret_cast<void**>(&libav::sws_alloc_context)},
    };
    return list;
}
