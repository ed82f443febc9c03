#include "cli/CliLibraries.h"

#include <iostream>

#include "platform/FileSystem.h"

bool LoadCliLibraries(TLibrarySet libs) {
    TFFLoader& loader = FFLoader();
    loader.SetLibraryPath(ExecutablePath() + "lib");
    if (loader.LoadLibs(libs)) return true;
    std::cerr << loader.LastErrorMessage() << '\n';
    return false;
}
