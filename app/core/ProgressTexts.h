#pragma once
// Where a conversion stands, as both front ends report it: the share done, the time left, and
// the text for times (ByteSize.h has those for sizes).
#include <cstdint>
#include <optional>
#include <string>

struct TProgressState {
    // Microseconds of the clip converted and the length to convert (0 when unknown).
    int64_t Done = 0;
    int64_t Length = 0;
    int Frames = 0;
    // Wall time since the conversion started, in seconds.
    double Elapsed = 0;
};

// The share done, 0 to 1; nothing when the length is unknown.
std::optional<double> ProgressFraction(const TProgressState& state);
// The elapsed time scaled by what remains, once a frame arrived and some share is done.
std::optional<double> SecondsLeft(const TProgressState& state);

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string ClockText(double seconds);
