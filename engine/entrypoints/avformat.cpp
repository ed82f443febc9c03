#include "engine/entrypoints/avformat.h"

CLIPGIF_DEFINE_ENTRY_POINTS(AvformatEntryPoints, CLIPGIF_AVFORMAT_ENTRY_POINTS)
