#include "engine/task/options/FFmpegOptionValues.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <vector>

#include "engine/core/FFmpegException.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avutil.h"

namespace {

[[noreturn]] void Expected(const char* kind, const std::string& name, const std::string& arg) {
    throw FFmpegException(
        StrFormat("Expected %s for %s but found %s", kind, name.c_str(), arg.c_str()));
}

}  // namespace

bool TryParseInt64(const std::string& text, int64_t& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    const char* first = t.c_str();
    if (*first == '+') ++first;
    const char* last = t.c_str() + t.size();
    const auto result = std::from_chars(first, last, value, 10);
    return result.ec == std::errc() && result.ptr == last;
}

bool TryParseInt(const std::string& text, int& value) {
    int64_t wide = 0;
    if (!TryParseInt64(text, wide) || wide < INT_MIN || wide > INT_MAX) return false;
    value = static_cast<int>(wide);
    return true;
}

bool TryParseDouble(const std::string& text, double& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    const char* first = t.c_str();
    if (*first == '+') ++first;
    const char* last = t.c_str() + t.size();
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

int ParseIntArgument(const std::string& name, const std::string& arg) {
    int value = 0;
    if (!TryParseInt(arg, value)) Expected("integer", name, arg);
    return value;
}

int64_t ParseInt64Argument(const std::string& name, const std::string& arg) {
    int64_t value = 0;
    if (!TryParseInt64(arg, value)) Expected("int64", name, arg);
    return value;
}

float ParseFloatArgument(const std::string& name, const std::string& arg) {
    double value = 0;
    if (!TryParseDouble(arg, value)) Expected("float", name, arg);
    return static_cast<float>(value);
}

double ParseDoubleArgument(const std::string& name, const std::string& arg) {
    double value = 0;
    if (!TryParseDouble(arg, value)) Expected("double", name, arg);
    return value;
}

int64_t ParseDurationArgument(const std::string& name, const std::string& arg) {
    int64_t us = 0;
    if (libav::av_parse_time(&us, arg.c_str(), 1) < 0)
        throw FFmpegException(StrFormat("Invalid %s specification for %s: %s", "duration",
                                        name.c_str(), arg.c_str()));
    return us;
}

uint32_t ParseCodecTag(const std::string& text) {
    char* tail = nullptr;
    const unsigned long number = std::strtoul(text.c_str(), &tail, 0);
    if (!text.empty() && *tail == '\0') return static_cast<uint32_t>(number);
    uint32_t tag = 0;
    for (size_t i = 0; i < 4 && i < text.size(); ++i)
        tag |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    return tag;
}
