#include "app/core/TimeText.h"

#include <charconv>
#include <vector>

namespace {

constexpr int64_t kMicrosecondsPerSecond = 1000000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whole digits of [begin, end) into a number; false for no digits, other characters or
// overflow.
bool ParseWhole(const char* begin, const char* end, int64_t& value) {
    if (begin == end) return false;
    for (const char* p = begin; p != end; ++p)
        if (!IsDigit(*p)) return false;
    const auto [stop, error] = std::from_chars(begin, end, value);
    return error == std::errc() && stop == end;
}

// The digits after the decimal point as microseconds, rounded half up at the seventh digit.
bool ParseFraction(const char* begin, const char* end, int64_t& microseconds) {
    if (begin == end) return false;
    int64_t value = 0;
    int64_t scale = kMicrosecondsPerSecond;
    bool roundUp = false;
    for (const char* p = begin; p != end; ++p) {
        if (!IsDigit(*p)) return false;
        if (scale > 1) {
            scale /= 10;
            value += (*p - '0') * scale;
        } else if (p == begin + 6) {
            roundUp = *p >= '5';
        }
    }
    microseconds = value + (roundUp ? 1 : 0);
    return true;
}

bool Add(int64_t& total, int64_t amount) { return !__builtin_add_overflow(total, amount, &total); }
bool Multiply(int64_t& total, int64_t factor) {
    return !__builtin_mul_overflow(total, factor, &total);
}

}  // namespace

bool ParseTimeText(const std::string& text, int64_t& microseconds) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* point = begin;
    while (point != end && *point != '.') ++point;
    int64_t fraction = 0;
    if (point != end && !ParseFraction(point + 1, end, fraction)) return false;

    // The fields before the point: seconds, or minutes and seconds, or hours, minutes, seconds.
    std::vector<std::pair<const char*, const char*>> fields;
    const char* start = begin;
    for (const char* p = begin; p != point; ++p) {
        if (*p != ':') continue;
        fields.emplace_back(start, p);
        start = p + 1;
    }
    fields.emplace_back(start, point);
    if (fields.size() > 3) return false;

    int64_t seconds = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        int64_t value = 0;
        if (!ParseWhole(fields[i].first, fields[i].second, value)) return false;
        if (i > 0 && (fields[i].second - fields[i].first > 2 || value >= 60)) return false;
        if (!Multiply(seconds, i > 0 ? 60 : 1) || !Add(seconds, value)) return false;
    }
    int64_t total = seconds;
    if (!Multiply(total, kMicrosecondsPerSecond) || !Add(total, fraction)) return false;
    microseconds = total;
    return true;
}
