#include "app/core/DitherNames.h"

#include <strings.h>

const std::vector<std::string>& DitherNames() {
    static const std::vector<std::string> names = {
        "none", "floyd-steinberg", "stucki", "sierra", "jajuni", "steve-arche", "burkes",
    };
    return names;
}

const std::string& DitherName(TErrorDiffusion engine) {
    const std::vector<std::string>& names = DitherNames();
    const size_t index = static_cast<size_t>(engine);
    return index < names.size() ? names[index] : names.front();
}

bool FindDither(const std::string& name, TErrorDiffusion& engine) {
    const std::vector<std::string>& names = DitherNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (strcasecmp(names[i].c_str(), name.c_str()) != 0) continue;
        engine = static_cast<TErrorDiffusion>(i);
        return true;
    }
    return false;
}
