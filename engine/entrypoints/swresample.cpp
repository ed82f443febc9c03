#include "engine/entrypoints/swresample.h"

CLIPGIF_DEFINE_ENTRY_POINTS(SwresampleEntryPoints, CLIPGIF_SWRESAMPLE_ENTRY_POINTS)
