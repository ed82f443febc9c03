#pragma once
// The value of an option: read from its text by the row's kind, checked against the row's range
// or choices, and stored in the field the row points to.
#include <cstdint>
#include <string>
#include <variant>

#include "cli/OptionTable.h"

// A switch's bool, a whole number (Integer, Time in microseconds, ByteSize in bytes, a
// Choice's position), a Number, a Path or a FrameSize.
using TOptionValue = std::variant<bool, int64_t, double, std::string, TFrameSize>;

// `text` read as the row's kind ("" for a switch). TUsageError when it does not fit:
// "--loop takes a whole number from 0 to 65535, not "-1"".
TOptionValue ReadOptionValue(const TCliOption& row, const std::string& text);

// Stores `value` in the field of `request` the row points to.
void StoreOptionValue(const TCliOption& row, const TOptionValue& value, TCliRequest& request);

// What the row takes, as its usage error and the help say it: "a whole number from 0 to 65535",
// "one of none, floyd-steinberg, ..."; empty for switches.
std::string ExpectedValueText(const TCliOption& row);
