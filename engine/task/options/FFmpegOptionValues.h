#pragma once
// Typed reading of option arguments. Each raises FFmpegException with the option's name and
// the offending text when the argument is not of the expected kind.
#include <cstdint>
#include <string>
#include <variant>

using TOptionValue = std::variant<std::string, int, int64_t, float, double>;

int ParseIntArgument(const std::string& name, const std::string& arg);
int64_t ParseInt64Argument(const std::string& name, const std::string& arg);
float ParseFloatArgument(const std::string& name, const std::string& arg);
double ParseDoubleArgument(const std::string& name, const std::string& arg);
// A duration ("12.5", "00:01:02.5") in microseconds.
int64_t ParseDurationArgument(const std::string& name, const std::string& arg);

// Whole-text integer readers that report failure instead of raising.
bool TryParseInt(const std::string& text, int& value);
bool TryParseInt64(const std::string& text, int64_t& value);
bool TryParseDouble(const std::string& text, double& value);

// A codec tag: a number (any base), else the first four characters, the first in the lowest
// byte.
uint32_t ParseCodecTag(const std::string& text);
