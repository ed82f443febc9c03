#include "cli/CommandLine.h"

#include <iostream>

#include "cli/CliOptions.h"
#include "cli/ConvertMode.h"
#include "cli/InfoMode.h"
#include "cli/OptionHelp.h"

#ifndef CLIPGIF_VERSION
#error "the build defines CLIPGIF_VERSION"
#endif

namespace {

constexpr int kExitUsage = 2;

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    TCliRequest request;
    try {
        request = ParseCommandLine(args);
    } catch (const TUsageError& error) {
        std::cerr << "clipgif-cli: " << error.what() << '\n' << UsageText();
        return kExitUsage;
    }
    switch (request.Action) {
        case TCliAction::Help:
            std::cout << HelpText();
            return 0;
        case TCliAction::Version:
            std::cout << "clipgif-cli " << CLIPGIF_VERSION << '\n';
            return 0;
        case TCliAction::Info:
            return RunInfoMode(request.InfoFile);
        case TCliAction::Convert:
            break;
    }
    return RunConvertMode(request.Settings);
}
