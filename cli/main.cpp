// clipgif-cli: the command-line front end of ClipGIF.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "platform/MainThread.h"

int main(int argc, char** argv) {
    SetMainThread();
    try {
        return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
