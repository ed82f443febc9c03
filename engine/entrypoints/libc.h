#pragma once
// Entry points of the C library (libc.so.6), bound at run time by TFFLoader
// (engine/loader/FFLoad.h). To add one: an extern declaration here, its definition and a row at the
// end of the table in the .cpp file. Every entry is required: a library lacking one does not load.
#include <cstdarg>
#include <cstdio>

#include "engine/entrypoints/EntryPoint.h"

namespace libav {
extern decltype(&::vsnprintf) vsnprintf;
extern decltype(&::fopen) fopen;
extern decltype(&::fclose) fclose;
extern decltype(&::fseek) fseek;
extern decltype(&::ftell) ftell;
extern decltype(&::fread) fread;
extern decltype(&::ferror) ferror;
}  // namespace libav

// The entry points in binding order.
const TEntryPointList& LibcEntryPoints();
