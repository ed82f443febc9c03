#include "app/core/ByteSize.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int64_t kKilo = 1024;
constexpr int64_t kMega = 1024 * 1024;
// Far beyond any GIF, and safely within what a double counts exactly.
constexpr double kLargest = static_cast<double>(int64_t{1} << 50);

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The multiplier of the unit that ends `text` (removed from it); 0 for a unit not known.
int64_t TakeUnit(std::string& text) {
    std::string unit;
    while (!text.empty() && std::isalpha(static_cast<unsigned char>(text.back()))) {
        unit.insert(unit.begin(), static_cast<char>(std::toupper(text.back())));
        text.pop_back();
    }
    text = Trimmed(text);
    if (unit.empty() || unit == "B") return 1;
    if (unit == "K" || unit == "KB") return kKilo;
    if (unit == "M" || unit == "MB") return kMega;
    return 0;
}

// One decimal below 10, unless it is 0: "4.2 MB", "8 MB", "25 MB".
std::string OneUnit(double amount, const char* unit) {
    char text[48];
    const double tenths = std::round(amount * 10);
    if (amount < 9.95 && static_cast<int64_t>(tenths) % 10 != 0)
        std::snprintf(text, sizeof text, "%.1f %s", tenths / 10, unit);
    else
        std::snprintf(text, sizeof text, "%.0f %s", amount, unit);
    return text;
}

}  // namespace

std::optional<int64_t> ParseByteSize(const std::string& typed) {
    std::string text = Trimmed(typed);
    const int64_t unit = TakeUnit(text);
    if (unit == 0 || text.empty()) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(number)) return std::nullopt;
    const double bytes = std::floor(number * static_cast<double>(unit));
    if (bytes < 1 || bytes > kLargest) return std::nullopt;
    return static_cast<int64_t>(bytes);
}

std::string RoundedSizeText(int64_t bytes) {
    if (bytes < kKilo) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    if (bytes < kMega) {
        // 1023.9 KB reads as 1024 KB; it is the same size as 1.0 MB and says so.
        if (bytes >= kMega - kKilo / 2) return OneUnit(1.0, "MB");
        return OneUnit(static_cast<double>(bytes) / kKilo, "KB");
    }
    return OneUnit(static_cast<double>(bytes) / kMega, "MB");
}

std::string ByteSizeText(int64_t bytes) {
    constexpr double kKilo = 1024;
    char text[32];
    const double value = static_cast<double>(std::max<int64_t>(bytes, 0));
    if (value < kKilo)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else if (value < kKilo * kKilo)
        std::snprintf(text, sizeof text, "%.1f KB", value / kKilo);
    else if (value < kKilo * kKilo * kKilo)
        std::snprintf(text, sizeof text, "%.2f MB", value / (kKilo * kKilo));
    else
        std::snprintf(text, sizeof text, "%.2f GB", value / (kKilo * kKilo * kKilo));
    return text;
}

std::string TypedSizeText(int64_t bytes) {
    if (bytes > 0 && bytes % kMega == 0) return std::to_string(bytes / kMega) + "M";
    if (bytes > 0 && bytes % kKilo == 0) return std::to_string(bytes / kKilo) + "K";
    return std::to_string(bytes);
}
