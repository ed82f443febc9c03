#pragma once
// How a conversion chooses the colours of its frames, and the quality of the fitted colours.
#include "gif/optimise/ColorQuality.h"

enum class TFrameColors {
    // A palette fitted to what changed in each frame, only the changed pixels stored, the
    // quality setting's tolerances: the smallest GIFs for what they show.
    Fitted,
    // The document's reduction (octree with the system colours), every frame whole.
    Octree,
};
