#include "app/core/OptionStrings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kSignificantDigits = 15;
// The general format writes fixed notation for decimal exponents in this range.
constexpr int kLowestFixedExponent = -5;
constexpr int kHighestFixedExponent = kSignificantDigits - 1;

int64_t Difference(int64_t a, int64_t b) {
    int64_t result = 0;
    if (__builtin_sub_overflow(a, b, &result)) return a > b ? INT64_MAX : INT64_MIN;
    return result;
}

// The value's digits (15 significant, trailing zeros dropped) and its decimal exponent:
// 0.04 gives "4" and -2. Built with to_chars, which never looks at the locale.
void DecimalDigits(double magnitude, std::string& digits, int& exponent) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string text(buffer, result.ptr);  // "d.dddddddddddddde+XX"
    const size_t e = text.find('e');
    digits = text.substr(0, 1) + text.substr(2, e - 2);
    exponent = std::atoi(text.c_str() + e + 1);
    const size_t last = digits.find_last_not_of('0');
    digits.erase(last == std::string::npos ? 1 : last + 1);
}

std::string FixedNotation(const std::string& digits, int exponent) {
    if (exponent < 0) return "0." + std::string(-exponent - 1, '0') + digits;
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) return digits + std::string(whole - digits.size(), '0');
    return digits.substr(0, whole) + "." + digits.substr(whole);
}

std::string ExponentNotation(const std::string& digits, int exponent) {
    std::string text = digits.substr(0, 1);
    if (digits.size() > 1) text += "." + digits.substr(1);
    return text + "E" + std::to_string(exponent);
}

}  // namespace

int64_t TClipCut::Seek() const {
    if (FirstTime != kUnsetFirst && FirstTime < 0) return Difference(StartTime, FirstTime);
    return StartTime;
}

std::string FormatGeneral(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    std::string digits;
    int exponent = 0;
    DecimalDigits(std::fabs(value), digits, exponent);
    const std::string sign = value < 0 ? "-" : "";
    if (exponent < kLowestFixedExponent || exponent > kHighestFixedExponent)
        return sign + ExponentNotation(digits, exponent);
    return sign + FixedNotation(digits, exponent);
}

std::string SecondsText(int64_t microseconds) {
    const bool negative = microseconds < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(microseconds) : static_cast<uint64_t>(microseconds);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 1000000);
    const uint64_t fraction = magnitude % 1000000;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 6 - digits.size(), '0');
        text += "." + digits.substr(0, digits.find_last_not_of('0') + 1);
    }
    return text;
}

std::string FrameSizeOfItem(const std::string& itemText) {
    const size_t blank = itemText.find(' ');
    if (blank == std::string::npos || blank == 0) return "";
    return itemText.substr(0, blank);
}

std::string BuildInputOptionsText(const TClipCut& cut) {
    if (!cut.Active()) return "";
    return " -ss " + SecondsText(cut.Seek());
}

double OutputFrameRate(const TOutputChoice& choice) {
    if (choice.FrameRate > 0) return std::min(choice.FrameRate, kHighestFrameRate);
    if (choice.MaxFrameRate > 0 && choice.ClipFrameRate > choice.MaxFrameRate)
        return choice.MaxFrameRate;
    return 0;
}

std::string BuildOutputOptionsText(const TOutputChoice& choice) {
    std::string text = " -f rawrgb";
    text += " -c:v rawvideo";
    text += choice.RedFirst ? " -pix_fmt rgb24" : " -pix_fmt bgr24";
    if (choice.VideoStream >= 0 && choice.HasVideo)
        text += " -map 0:" + std::to_string(choice.VideoStream);
    std::string filters;
    if (choice.VariableFrameRate) text += " -vsync vfr";
    const double rate = OutputFrameRate(choice);
    if (rate > 0) {
        // The rate is the encoder's time base; the fps filter picks the pictures on its grid,
        // a frame for each of its ticks up to the clip's end, as the ffmpeg tool's filter does.
        text += " -r " + FormatGeneral(rate);
        if (choice.HasVideo) filters = "fps=" + FormatGeneral(rate);
    }
    if (!choice.FrameSize.empty() && choice.HasVideo) {
        std::string size = choice.FrameSize;
        const size_t x = size.find('x');
        if (x != std::string::npos) size[x] = ':';
        filters += (filters.empty() ? "scale=" : ",scale=") + size;
    }
    if (choice.Cut.Active())
        text += " -t " + SecondsText(Difference(choice.Cut.EndTime, choice.Cut.StartTime));
    if (!filters.empty()) text += " -vf \"" + filters + "\"";
    return text;
}
