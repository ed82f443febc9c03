#pragma once
// An entry point of a shared library: its exported name and the variable that receives its
// address when the library is bound. Each library's entry points form one list, bound in order.
#include <vector>

struct TEntryPoint {
    const char* Name;
    void** Address;
};
using TEntryPointList = std::vector<TEntryPoint>;
