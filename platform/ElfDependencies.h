#pragma once
// The libraries a shared-library file names as its dependencies.
#include <string>
#include <vector>

// The DT_NEEDED names of a 64-bit little-endian ELF file, in file order; empty when the file
// cannot be read or is not such a file. Every offset read from the file is checked against
// its size.
std::vector<std::string> ElfDependencies(const std::string& fileName);
