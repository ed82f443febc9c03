#include "engine/entrypoints/libc.h"

CLIPGIF_DEFINE_ENTRY_POINTS(LibcEntryPoints, CLIPGIF_LIBC_ENTRY_POINTS)
