#include "cli/InfoMode.h"

#include <iostream>

#include "cli/CliLibraries.h"
#include "engine/decoder/FFDecode.h"

int RunInfoMode(const std::string& fileName) {
    if (!LoadCliLibraries(DecoderLibrarySet)) return 1;
    TFFDecoder decoder;
    if (!decoder.LoadFile(fileName)) {
        std::cerr << decoder.LastErrorMessage() << '\n';
        return 1;
    }
    std::cout << decoder.FileInfoText() << '\n';
    return 0;
}
