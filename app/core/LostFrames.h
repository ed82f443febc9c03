#pragma once
// What a conversion lost to a damaged clip, in the words both front ends show it in.
#include <string>

#include "engine/task/FFmpegRoutes.h"

// "11 of about 75 frames: the clip could not be read after 0.44 s", "45 of about 75 frames: the
// clip is damaged in 22 places", or both reasons; empty when nothing was lost.
std::string LostFramesText(const TVideoLosses& losses);
