#include "engine/entrypoints/avutil.h"

CLIPGIF_DEFINE_ENTRY_POINTS(AvutilEntryPoints, CLIPGIF_AVUTIL_ENTRY_POINTS)
