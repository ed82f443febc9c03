#include "app/core/Settings.h"

#include <algorithm>
#include <cctype>

#include "platform/FileSystem.h"
#include "platform/Stream.h"

namespace {

const char* const kSettingsFileName = "lamecore.dll";
const char* const kSystemSection = "SYSTEM";

// Blanks and control characters at both ends go.
std::string Trim(const std::string& text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsSectionLine(const std::string& line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The lines of the first section named SYSTEM, trimmed, comments and empty lines left out.
std::vector<std::string> SystemSectionLines(const std::vector<std::string>& lines) {
    std::vector<std::string> section;
    bool inSystem = false;
    bool systemSeen = false;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (IsSectionLine(line)) {
            if (inSystem) break;
            inSystem =
                !systemSeen && SameName(Trim(line.substr(1, line.size() - 2)), kSystemSection);
            systemSeen = systemSeen || inSystem;
            continue;
        }
        if (inSystem) section.push_back(line);
    }
    return section;
}

std::string ValueOf(const std::vector<std::string>& section, const std::string& key) {
    for (const std::string& line : section) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        if (SameName(Trim(line.substr(0, equals)), key)) return Trim(line.substr(equals + 1));
    }
    return std::string();
}

}  // namespace

std::string GetSettingsFileName() { return ExecutablePath() + kSettingsFileName; }

std::string DecodeSettingsLine(const std::string& line) {
    std::string plain(line.size(), '\0');
    std::transform(line.begin(), line.end(), plain.begin(),
                   [](char c) { return static_cast<char>(~static_cast<unsigned char>(c)); });
    return plain;
}

std::string IncludeBackslash(const std::string& folder) {
    return !folder.empty() && folder.back() == PathDelim ? folder : folder + PathDelim;
}

std::vector<std::string> SplitSettingsLines(const std::string& text) {
    std::vector<std::string> lines;
    const size_t end = std::min(text.find('\0'), text.size());
    size_t start = 0;
    while (start < end) {
        size_t stop = start;
        while (stop < end && text[stop] != '\r' && text[stop] != '\n') ++stop;
        lines.push_back(text.substr(start, stop - start));
        if (stop < end && text[stop] == '\r') {
            ++stop;
            if (stop < end && text[stop] == '\n') ++stop;
        } else if (stop < end) {
            ++stop;
        }
        start = stop;
    }
    return lines;
}

std::vector<std::string> ReadSystemSection(const std::vector<std::string>& lines,
                                           const std::vector<std::string>& keys) {
    const std::vector<std::string> section = SystemSectionLines(lines);
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const std::string& key : keys) values.push_back(ValueOf(section, key));
    return values;
}

std::vector<std::string> DecodeSettings(const std::string& storedBytes,
                                        const std::vector<std::string>& keys) {
    std::vector<std::string> lines = SplitSettingsLines(storedBytes);
    for (std::string& line : lines) line = DecodeSettingsLine(line);
    return ReadSystemSection(lines, keys);
}

std::vector<std::string> ReadSettings(const std::vector<std::string>& keys,
                                      const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    std::string stored(static_cast<size_t>(file.Size()), '\0');
    file.ReadBuffer(stored.data(), stored.size());
    return DecodeSettings(stored, keys);
}
