#include "app/core/OutputName.h"

#include <sys/stat.h>

namespace {

// The name without its extension: everything from the last "." of the file-name part on goes.
std::string WithoutExtension(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name;
    return name.substr(0, dot);
}

}  // namespace

bool NameExists(const std::string& name) {
    struct stat status;
    return lstat(name.c_str(), &status) == 0;
}

std::string GetUniqueOutputName(const std::string& inputName, const std::string& extension) {
    const std::string base = WithoutExtension(inputName);
    std::string candidate = base + "_(new)" + extension;
    for (long n = 1; NameExists(candidate); ++n)
        candidate = base + "_(new_" + std::to_string(n) + ")" + extension;
    return candidate;
}
