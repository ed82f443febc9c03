#include "engine/entrypoints/avcodec.h"

CLIPGIF_DEFINE_ENTRY_POINTS(AvcodecEntryPoints, CLIPGIF_AVCODEC_ENTRY_POINTS)
