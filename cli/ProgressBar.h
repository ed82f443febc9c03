#pragma once
// The one-line progress bar of a conversion on a terminal.
#include <cstdint>
#include <string>

// Where a conversion stands.
struct TProgressState {
    // Microseconds of the clip converted and the length to convert (0 when unknown).
    int64_t Done = 0;
    int64_t Length = 0;
    int Frames = 0;
    // Wall time since the conversion started, in seconds.
    double Elapsed = 0;
};

// " 42% [########-----------]   105 frames  31.2 fps  0:04 left", at most `columns` characters
// (the bar gives way first). Without a known length: frames and frames per second only. The
// time left is the elapsed time scaled by what remains, once a frame arrived.
std::string ProgressBarText(const TProgressState& state, int columns);

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string ClockText(double seconds);
