#include "engine/entrypoints/avfilter.h"

CLIPGIF_DEFINE_ENTRY_POINTS(AvfilterEntryPoints, CLIPGIF_AVFILTER_ENTRY_POINTS)
