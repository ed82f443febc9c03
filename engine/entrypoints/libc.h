#pragma once
// Entry points of the C library (libc.so.6), bound at run time by TFFLoader
// (engine/loader/FFLoad.h). To add one: a line in the list below. Every entry is required: a
// library lacking one does not load.
#include <cstdarg>
#include <cstdio>

#include "engine/entrypoints/EntryPoint.h"

// The entry points in binding order.
#define CLIPGIF_LIBC_ENTRY_POINTS(X) \
    X(vsnprintf)                     \
    X(fopen)                         \
    X(fclose)                        \
    X(fseek)                         \
    X(ftell)                         \
    X(fread)                         \
    X(ferror)

CLIPGIF_DECLARE_ENTRY_POINTS(LibcEntryPoints, CLIPGIF_LIBC_ENTRY_POINTS)
