#include "engine/core/MyUtils.h"

#include <cerrno>

#include "engine/core/TextFormat.h"

bool IsLeadByte(uint8_t c) { return c >= 0xC2 && c <= 0xF4; }

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

int CharKindAt(const std::string& text, int index) {
    if (index < 1 || index > static_cast<int>(text.size())) return 0;
    const auto c = static_cast<uint8_t>(text[index - 1]);
    if (IsLeadByte(c)) return 1;
    if ((c & 0xC0) == 0x80) return 2;
    return 0;
}

bool IsPathDelimiter(const std::string& text, int index) {
    return index >= 1 && index <= static_cast<int>(text.size()) && text[index - 1] == PathDelim;
}

int LastDelimiter(const std::string& delimiters, const std::string& text) {
    size_t pos = text.find_last_of(delimiters);
    return pos == std::string::npos ? 0 : static_cast<int>(pos) + 1;
}

int FindFirstW(const std::string& pattern, uint32_t attributes, TSearchRecW& rec) {
    rec.Search = std::make_shared<TFileSearch>();
    return rec.Search->FindFirst(pattern, attributes, rec);
}

int FindNextW(TSearchRecW& rec) { return rec.Search ? rec.Search->FindNext(rec) : ENOENT; }

void FindCloseW(TSearchRecW& rec) { rec.Search.reset(); }

void SplitFirst(std::string& text, const std::string& delimiter, bool remove, std::string& head) {
    size_t pos = delimiter.empty() ? std::string::npos : text.find(delimiter);
    if (pos == std::string::npos) {
        head = text;
        if (remove) text.clear();
        return;
    }
    head = text.substr(0, pos);
    if (remove) text.erase(0, pos + delimiter.size());
}

std::string FormatSize(int64_t bytes) {
    if (bytes <= 1024) return StrFormat("%lld Byte", static_cast<long long>(bytes));
    if (bytes <= 1048576) return StrFormat("%.2f KB", bytes / 1024.0);
    if (bytes <= 1073741824) return StrFormat("%.2f MB", bytes / 1048576.0);
    return StrFormat("%.2f GB", bytes / 1073741824.0);
}
