#include "app/core/PendingNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kPendingEnd = ".part";
constexpr size_t kSuffixLength = 8;
// "." before the name, "." + suffix + ".part" after it.
constexpr size_t kAddedBytes = 1 + 1 + kSuffixLength + 5;
// An extension longer than this is cut like the rest of the name.
constexpr size_t kLongestKeptExtension = 16;
constexpr long kUsualNameMax = 255;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// At most `bytes` bytes of `text`, not cutting a UTF-8 character in two.
std::string CutAtCharacter(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return text.substr(0, bytes);
}

bool IsSuffix(const std::string& text) {
    return text.size() == kSuffixLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
           });
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the pending file `path` when nobody holds its lock.
void RemoveWhenUnlocked(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return;
    struct stat opened {};
    struct stat named {};
    // Held while the name is checked and removed: a writer that made the file meanwhile finds
    // it taken when it locks it, and moves on to another name.
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        SameFile(opened, named))
        ::unlink(path.c_str());
    ::close(fd);
}

}  // namespace

std::string PendingFileName(const std::string& name, const std::string& suffix, long nameMax) {
    const size_t room =
        nameMax > static_cast<long>(kAddedBytes) ? static_cast<size_t>(nameMax) - kAddedBytes : 1;
    std::string kept = name;
    if (kept.size() > room) {
        const size_t dot = name.rfind('.');
        const bool keepExtension = dot != std::string::npos && dot > 0 &&
                                   name.size() - dot <= kLongestKeptExtension &&
                                   name.size() - dot < room;
        const std::string extension = keepExtension ? name.substr(dot) : std::string();
        const std::string base = keepExtension ? name.substr(0, dot) : name;
        kept = CutAtCharacter(base, room - extension.size()) + extension;
    }
    return "." + kept + "." + suffix + kPendingEnd;
}

bool IsPendingFileName(const std::string& name, const std::string& extension) {
    const size_t least = 1 + 1 + extension.size() + 1 + kSuffixLength + 5;
    if (name.size() < least || name[0] != '.' || !EndsWith(name, kPendingEnd)) return false;
    const size_t suffixAt = name.size() - 5 - kSuffixLength;
    if (name[suffixAt - 1] != '.' || !IsSuffix(name.substr(suffixAt, kSuffixLength))) return false;
    return EndsWith(name.substr(0, suffixAt - 1), extension);
}

long FolderNameMax(const std::string& folder) {
    const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? max : kUsualNameMax;
}

void RemoveStalePendingFiles(const std::string& folder, const std::string& extension) {
    if (extension.empty()) return;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (IsPendingFileName(name, extension)) RemoveWhenUnlocked(folder + name);
    }
    ::closedir(dir);
}
