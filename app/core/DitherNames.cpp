#include "app/core/DitherNames.h"

#include <strings.h>

TErrorDiffusion DiffusionOf(TDitherChoice choice) {
    return choice == dcPattern ? edNearest : static_cast<TErrorDiffusion>(choice);
}

const std::vector<std::string>& DitherNames() {
    static const std::vector<std::string> names = {
        "none", "floyd-steinberg", "stucki", "sierra", "jajuni", "steve-arche", "burkes", "pattern",
    };
    return names;
}

const std::string& DitherName(TDitherChoice choice) {
    const std::vector<std::string>& names = DitherNames();
    const size_t index = static_cast<size_t>(choice);
    return index < names.size() ? names[index] : names.front();
}

bool FindDither(const std::string& name, TDitherChoice& choice) {
    const std::vector<std::string>& names = DitherNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (strcasecmp(names[i].c_str(), name.c_str()) != 0) continue;
        choice = static_cast<TDitherChoice>(i);
        return true;
    }
    return false;
}
