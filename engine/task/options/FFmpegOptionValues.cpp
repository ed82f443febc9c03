#include "engine/task/options/FFmpegOptionValues.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/core/FFmpegException.h"
#include "engine/entrypoints/avutil.h"

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

[[noreturn]] void Expected(const char* kind, const std::string& name, const std::string& arg) {
    throw FFmpegException(
        StrFormat("Expected %s for %s but found %s", kind, name.c_str(), arg.c_str()));
}

}  // namespace

std::string StrFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? size : 0, '\0');
    if (size > 0) std::vsnprintf(text.data(), size + 1, format, args);
    va_end(args);
    return text;
}

bool TryParseInt64(const std::string& text, int64_t& value) {
    const std::string t = Trimmed(text);
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
    const std::string t = Trimmed(text);
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
