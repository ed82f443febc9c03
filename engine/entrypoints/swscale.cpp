#include "engine/entrypoints/swscale.h"

CLIPGIF_DEFINE_ENTRY_POINTS(SwscaleEntryPoints, CLIPGIF_SWSCALE_ENTRY_POINTS)
