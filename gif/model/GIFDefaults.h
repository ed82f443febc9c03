#pragma once
// Settings every new GIF document starts with. They are process-wide, like the library's own
// unit settings: change them before creating documents.
#include <cstdint>

#include "gif/core/GIFTypes.h"
#include "platform/Bitmap.h"

// Priority of the threads that paint animations.
enum class TGIFThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

struct TGIFDefaults {
    uint16_t PaintOptions = 0x068F;
    TPaletteReduction ReductionMode = prWebCube216;
    int QuantizeBits = 8;
    TErrorDiffusion DiffusionMode = edNearest;
    TGIFEncoding Encoding = geLZW;
    TGIFThreadPriority PainterPriority = TGIFThreadPriority::tpNormal;
    int PlaybackSpeed = 100;
    int ForcedFrame = -1;
    TColor BackdropColor = clNone;
    // True on displays of 8 bits per pixel or less; there is no such display here.
    bool LowColorDisplay = false;
    bool OptimizeBeforeStreaming = false;
    bool BuildBitmapsOnLoad = false;
};

TGIFDefaults& GIFDefaults();
