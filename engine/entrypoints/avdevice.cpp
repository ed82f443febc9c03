#include "engine/entrypoints/avdevice.h"

CLIPGIF_DEFINE_ENTRY_POINTS(AvdeviceEntryPoints, CLIPGIF_AVDEVICE_ENTRY_POINTS)
