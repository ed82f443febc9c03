#include "cli/CommandLine.h"

#include <functional>
#include <iostream>

#include "cli/InfoMode.h"

namespace {

struct TCliMode {
    const char* Switch;
    const char* Arguments;  // for the usage text
    size_t ArgumentCount;
    const char* Help;
    std::function<int(const std::vector<std::string>&)> Run;
};

const std::vector<TCliMode>& Modes() {
    static const std::vector<TCliMode> modes = {
        {"--info", "FILE", 1, "print what the media file holds",
         [](const std::vector<std::string>& a) { return RunInfoMode(a[0]); }},
    };
    return modes;
}

int Usage() {
    std::cerr << "usage:\n";
    for (const TCliMode& mode : Modes()) {
        std::cerr << "  clipgif-cli " << mode.Switch << ' ' << mode.Arguments << "\n      "
                  << mode.Help << '\n';
    }
    return 2;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) return Usage();
    for (const TCliMode& mode : Modes()) {
        if (args[0] != mode.Switch) continue;
        if (args.size() - 1 != mode.ArgumentCount) return Usage();
        return mode.Run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    return Usage();
}
