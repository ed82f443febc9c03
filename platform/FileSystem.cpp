#include "platform/FileSystem.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>

std::string IncludeTrailingPathDelimiter(const std::string& path) {
    if (path.empty() || path.back() == PathDelim) return path;
    return path + PathDelim;
}

std::string ExtractFilePath(const std::string& fileName) {
    size_t pos = fileName.rfind(PathDelim);
    return pos == std::string::npos ? std::string() : fileName.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& fileName) {
    size_t pos = fileName.rfind(PathDelim);
    return pos == std::string::npos ? fileName : fileName.substr(pos + 1);
}

bool FileExists(const std::string& fileName) {
    struct stat st;
    return !fileName.empty() && stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPipeOrSocket(const std::string& fileName) {
    const std::string path = fileName.rfind("file:", 0) == 0 ? fileName.substr(5) : fileName;
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

int64_t FileSize(const std::string& fileName) {
    struct stat st;
    if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    if (access(fileName.c_str(), R_OK) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

std::string GetCurrentDir() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::current_path(error);
    return error ? std::string() : path.string();
}

bool SetCurrentDir(const std::string& path) { return !path.empty() && chdir(path.c_str()) == 0; }

std::string GetEnvVar(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

std::string ExpandFileName(const std::string& fileName) {
    if (fileName.empty()) return {};
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(fileName, error);
    if (error) return {};
    return path.lexically_normal().string();
}

std::string ExecutableFileName() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string ExecutablePath() { return ExtractFilePath(ExecutableFileName()); }

int32_t DosDateTime(int64_t unixTime) {
    time_t t = static_cast<time_t>(unixTime);
    struct tm local;
    if (!localtime_r(&t, &local) || local.tm_year < 80) return 0;
    uint32_t date = ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
    uint32_t time = (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2);
    return static_cast<int32_t>((date << 16) | time);
}

namespace {

uint32_t AttributesOf(const std::string& name, const struct stat& st) {
    uint32_t attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else if (S_ISREG(st.st_mode))
        attr |= faArchive;
    else
        attr |= faSysFile;
    if (!name.empty() && name[0] == '.') attr |= faHidden;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attr |= faReadOnly;
    return attr;
}

}  // namespace

int TFileSearch::FindFirst(const std::string& pattern, uint32_t attributes, TSearchRec& rec) {
    FindClose();
    folder_ = ExtractFilePath(pattern);
    mask_ = ExtractFileName(pattern);
    attributes_ = attributes;
    DIR* dir = opendir(folder_.empty() ? "." : folder_.c_str());
    if (!dir) return errno;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (fnmatch(mask_.c_str(), name.c_str(), 0) == 0) names_.push_back(name);
    }
    closedir(dir);
    return FindNext(rec);
}

int TFileSearch::FindNext(TSearchRec& rec) {
    const uint32_t skippable = faHidden | faSysFile | faDirectory;
    while (next_ < names_.size()) {
        const std::string& name = names_[next_++];
        const std::string path = folder_ + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) continue;
        uint32_t attr = AttributesOf(name, st);
        if ((attr & skippable & ~attributes_) != 0) continue;
        rec.Name = name;
        rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
        rec.Attr = attr;
        rec.Time = DosDateTime(st.st_mtime);
        return 0;
    }
    return ENOENT;
}

void TFileSearch::FindClose() {
    names_.clear();
    next_ = 0;
}
