// Fuzz target: the stored bytes of a settings file decoded and section SYSTEM read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all = {"Name"};
        all.insert(all.end(), kWindowSettingsKeys.begin(), kWindowSettingsKeys.end());
        return all;
    }();
    const std::string stored(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> values = DecodeSettings(stored, keys);
    if (values.size() != keys.size()) __builtin_trap();
    for (const std::string& value : values)
        if (value.size() > size) __builtin_trap();
    IncludeBackslash(values[3]);
    return 0;
}
