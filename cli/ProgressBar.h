#pragma once
// The one-line progress bar of a conversion on a terminal.
#include <string>

#include "app/core/ProgressTexts.h"

// " 42% [########-----------]   105 frames  31.2 fps  0:04 left", at most `columns` characters
// (the bar gives way first). Without a known length: frames and frames per second only. The
// time left is the elapsed time scaled by what remains, once a frame arrived.
std::string ProgressBarText(const TProgressState& state, int columns);
