#include "app/core/Settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/Exception.h"
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

bool IsSectionLineOf(const std::string& line, const std::string& name) {
    return IsSectionLine(line) && SameName(Trim(line.substr(1, line.size() - 2)), name);
}

// Where the first section called `name` lies in the lines: the index of its heading and of the
// line after its last line; both lines.size() when there is no such section.
std::pair<size_t, size_t> SectionBounds(const std::vector<std::string>& lines,
                                        const std::string& name) {
    size_t heading = 0;
    while (heading < lines.size() && !IsSectionLineOf(Trim(lines[heading]), name)) ++heading;
    if (heading == lines.size()) return {heading, heading};
    size_t end = heading + 1;
    while (end < lines.size() && !IsSectionLine(Trim(lines[end]))) ++end;
    return {heading, end};
}

// The key a line sets, or an empty text for a line that is no key (a comment, no '=').
std::string KeyOf(const std::string& rawLine) {
    const std::string line = Trim(rawLine);
    if (line.empty() || line.front() == ';') return std::string();
    const size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) return std::string();
    return Trim(line.substr(0, equals));
}

std::string ValueOf(const std::vector<std::string>& lines, std::pair<size_t, size_t> section,
                    const std::string& key) {
    for (size_t i = section.first + 1; i < section.second; ++i) {
        if (!SameName(KeyOf(lines[i]), key)) continue;
        const std::string line = Trim(lines[i]);
        return Trim(line.substr(line.find('=') + 1));
    }
    return std::string();
}

std::string ReadFileBytes(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    std::string stored(static_cast<size_t>(file.Size()), '\0');
    file.ReadBuffer(stored.data(), stored.size());
    return stored;
}

std::vector<std::string> DecodedLines(const std::string& storedBytes) {
    std::vector<std::string> lines = SplitSettingsLines(storedBytes);
    for (std::string& line : lines) line = DecodeSettingsLine(line);
    return lines;
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

std::vector<std::string> ReadSection(const std::vector<std::string>& lines,
                                     const std::string& section,
                                     const std::vector<std::string>& keys) {
    const std::pair<size_t, size_t> bounds = SectionBounds(lines, section);
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const std::string& key : keys) values.push_back(ValueOf(lines, bounds, key));
    return values;
}

std::vector<std::string> ReadSystemSection(const std::vector<std::string>& lines,
                                           const std::vector<std::string>& keys) {
    return ReadSection(lines, kSystemSection, keys);
}

std::vector<std::string> SetSectionValues(std::vector<std::string> lines,
                                          const std::string& section,
                                          const std::vector<TSettingsValue>& values) {
    std::pair<size_t, size_t> bounds = SectionBounds(lines, section);
    if (bounds.first == lines.size()) {
        lines.push_back("[" + section + "]");
        bounds = {lines.size() - 1, lines.size()};
    }
    for (const auto& [key, value] : values) {
        const std::string line = key + "=" + value;
        size_t i = bounds.first + 1;
        while (i < bounds.second && !SameName(KeyOf(lines[i]), key)) ++i;
        if (i < bounds.second) {
            lines[i] = line;
            continue;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(bounds.second), line);
        ++bounds.second;
    }
    return lines;
}

bool StorableSettingsText(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == '\r' || byte == '\n' || byte == 0 || byte == 0xF2 || byte == 0xF5 ||
               byte == 0xFF;
    });
}

std::string EncodeSettings(const std::vector<std::string>& lines) {
    std::string stored;
    for (const std::string& line : lines) {
        if (!StorableSettingsText(line))
            throw std::invalid_argument("the settings text holds a byte that cannot be stored");
        // Complementing is its own inverse: the routine that decodes a line encodes it too.
        stored += DecodeSettingsLine(line);
        stored += "\r\n";
    }
    return stored;
}

std::vector<std::string> DecodeSettings(const std::string& storedBytes,
                                        const std::vector<std::string>& keys) {
    return ReadSystemSection(DecodedLines(storedBytes), keys);
}

std::vector<std::string> ReadSettings(const std::vector<std::string>& keys,
                                      const std::string& fileName) {
    return DecodeSettings(ReadFileBytes(fileName), keys);
}

std::vector<std::string> ReadSettingsSection(const std::string& section,
                                             const std::vector<std::string>& keys,
                                             const std::string& fileName) {
    return ReadSection(DecodedLines(ReadFileBytes(fileName)), section, keys);
}

void WriteSettingsSection(const std::string& section, const std::vector<TSettingsValue>& values,
                          const std::string& fileName) {
    const std::vector<std::string> lines =
        SetSectionValues(DecodedLines(ReadFileBytes(fileName)), section, values);
    const std::string stored = EncodeSettings(lines);
    const std::string written = fileName + ".new";
    try {
        {
            TFileStream file(written, TFileStream::Mode::Create);
            file.WriteBuffer(stored.data(), stored.size());
        }
        if (std::rename(written.c_str(), fileName.c_str()) != 0)
            throw EStreamError("Cannot write file \"" + fileName + "\". " + std::strerror(errno));
    } catch (...) {
        std::remove(written.c_str());
        throw;
    }
}
