#include "engine/core/TextFormat.h"

#include <cstdio>

namespace {

// Most texts fit here, so formatting them costs no allocation beyond the result's.
constexpr size_t kStackBufferSize = 1024;

constexpr const char* kBlanks = " \t\r\n";

}  // namespace

std::string StrFormatV(const char* format, va_list args) {
    char buffer[kStackBufferSize];
    va_list first;
    va_copy(first, args);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, first);
    va_end(first);
    if (length < 0) return {};
    if (static_cast<size_t>(length) < sizeof buffer) return std::string(buffer, length);
    std::string text(static_cast<size_t>(length), '\0');
    va_list second;
    va_copy(second, args);
    std::vsnprintf(text.data(), text.size() + 1, format, second);
    va_end(second);
    return text;
}

std::string StrFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = StrFormatV(format, args);
    va_end(args);
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}
