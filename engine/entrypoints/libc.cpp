#include "engine/entrypoints/libc.h"

namespace libav {
decltype(&::vsnprintf) vsnprintf = nullptr;
decltype(&::fopen) fopen = nullptr;
decltype(&::fclose) fclose = nullptr;
decltype(&::fseek) fseek = nullptr;
decltype(&::ftell) ftell = nullptr;
decltype(&::fread) fread = nullptr;
decltype(&::ferror) ferror = nullptr;
}  // namespace libav

const TEntryPointList& LibcEntryPoints() {
    static const TEntryPointList list = {
        {"vsnprintf", reinterpret_cast<void**>(&libav::vsnprintf)},
        {"fopen", reinterpret_cast<void**>(&libav::fopen)},
        {"fclose", reinterpret_cast<void**>(&libav::fclose)},
        {"fseek", reinterpret_cast<void**>(&libav::fseek)},
        {"ftell", reinterpret_cast<void**>(&libav::ftell)},
        {"fread", reinterpret_cast<void**>(&libav::fread)},
        {"ferror", reinterpret_cast<void**>(&libav::ferror)},
    };
    return list;
}
