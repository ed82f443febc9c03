#include "engine/entrypoints/swscale.h"

namespace libav {
decltype(&::swscale_version) swscale_version = nullptr;
decltype(&::sws_getCachedContext) sws_getCachedContext = nullptr;
decltype(&::sws_scale) sws_scale = nullptr;
decltype(&::sws_freeContext) sws_freeContext = nullptr;
decltype(&::sws_alloc_context) sws_alloc_context = nullptr;
decltype(&::sws_getContext) sws_getContext = nullptr;
decltype(&::sws_get_class) sws_get_class = nullptr;
decltype(&::sws_isSupportedInput) sws_isSupportedInput = nullptr;
decltype(&::sws_isSupportedOutput) sws_isSupportedOutput = nullptr;
}  // namespace libav

const TEntryPointList& SwscaleEntryPoints() {
    static const TEntryPointList list = {
        {"swscale_version", reinterpret_cast<void**>(&libav::swscale_version)},
        {"sws_getCachedContext", reinterpret_cast<void**>(&libav::sws_getCachedContext)},
        {"sws_scale", reinterpret_cast<void**>(&libav::sws_scale)},
        {"sws_freeContext", reinterpret_cast<void**>(&libav::sws_freeContext)},
        {"sws_alloc_context", reinterpret_cast<void**>(&libav::sws_alloc_context)},
        {"sws_getContext", reinterpret_cast<void**>(&libav::sws_getContext)},
        {"sws_get_class", reinterpret_cast<void**>(&libav::sws_get_class)},
        {"sws_isSupportedInput", reinterpret_cast<void**>(&libav::sws_isSupportedInput)},
        {"sws_isSupportedOutput", reinterpret_cast<void**>(&libav::sws_isSupportedOutput)},
    };
    return list;
}
