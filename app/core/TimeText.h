#pragma once
// Times as people type them on the command line.
#include <cstdint>
#include <string>

// Seconds ("2.5", "90") or "[hh:]mm:ss[.fff]" ("1:30", "01:02:03.456") into microseconds.
// Minutes and seconds after a colon are two digits at most and below 60; fractions beyond the
// microsecond are rounded. False (and `microseconds` untouched) for anything else, for negative
// times and for times that do not fit.
bool ParseTimeText(const std::string& text, int64_t& microseconds);
