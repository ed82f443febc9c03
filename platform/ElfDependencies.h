#pragma once
// The libraries a shared-library file names as its dependencies.
#include <cstdint>
#include <string>
#include <vector>

// What the dynamic section of a 64-bit little-endian ELF file says about its dependencies;
// nothing when the file cannot be read or is not such a file. Every offset read from the file
// is checked against its size.
struct TElfLinking {
    std::vector<std::string> Needed;  // the DT_NEEDED names, in file order
    bool OwnSearchPath = false;       // a DT_RPATH or DT_RUNPATH: folders of its own to look in
    // The relocations that name a symbol, which the system's loader looks up when it loads
    // the file (the relative ones need no lookup).
    uint64_t SymbolRelocations = 0;
};
TElfLinking ElfLinking(const std::string& fileName);

// ElfLinking(fileName).Needed.
std::vector<std::string> ElfDependencies(const std::string& fileName);
