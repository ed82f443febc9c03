#include "engine/task/options/FFmpegTokenizer.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads one token starting at pos (not a blank); returns the position after it.
size_t ReadToken(const std::string& text, size_t pos, std::string& token) {
    bool inQuotes = false;
    const size_t n = text.size();
    while (pos < n) {
        if (!inQuotes && IsBlank(text[pos])) break;
        size_t slashes = 0;
        while (pos < n && text[pos] == '\\') {
            ++slashes;
            ++pos;
        }
        if (pos < n && text[pos] == '"') {
            token.append(slashes / 2, '\\');
            if (slashes % 2 == 1) {
                token += '"';  // escaped: a literal quote
            } else if (inQuotes && pos + 1 < n && text[pos + 1] == '"') {
                token += '"';  // "" inside quotes: one quote, and the quoted part ends
                ++pos;
                inQuotes = false;
            } else {
                inQuotes = !inQuotes;
            }
            ++pos;
            continue;
        }
        token.append(slashes, '\\');
        if (pos < n && slashes == 0) {
            token += text[pos];
            ++pos;
        }
    }
    return pos;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> tokens;
    size_t pos = 0;
    while (true) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size()) break;
        std::string token;
        pos = ReadToken(text, pos, token);
        tokens.push_back(std::move(token));
    }
    return tokens;
}
