#include "engine/core/UnicodeProtocol.h"

#include "platform/Exception.h"

std::string WideToLibName(const std::string& name) {
    if (name.size() > MaxLibNameBytes) {
        throw Exception("File name too long (" + std::to_string(name.size()) + " bytes, at most " +
                        std::to_string(MaxLibNameBytes) + "): " + name.substr(0, 64) + "...");
    }
    if (name.find('\0') != std::string::npos)
        throw Exception("File name holds a zero byte: " + std::string(name.c_str()));
    return name;
}

std::string LibNameToWide(const char* name) { return name ? name : ""; }
