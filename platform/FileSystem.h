#pragma once
// File-system and path helpers. Names are UTF-8; the folder separator is '/'.
#include <cstdint>
#include <string>
#include <vector>

constexpr char PathDelim = '/';

// Appends '/' unless the text already ends with one (an empty text stays empty).
std::string IncludeTrailingPathDelimiter(const std::string& path);
// The text up to and including the last '/' / the text after it.
std::string ExtractFilePath(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);

// True when the name exists and is not a directory.
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& path);
// True when the name (a path, or a "file:" URL) is a pipe or a socket. Opening one to read
// waits until some other program opens its other end, which may never happen.
bool IsPipeOrSocket(const std::string& fileName);
// Size in bytes of an existing file; -1 when it does not exist, is a directory or cannot be read.
int64_t FileSize(const std::string& fileName);

// The current folder (empty on failure) / make a folder current (true on success).
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
// An environment variable (empty when not set).
std::string GetEnvVar(const std::string& name);
// The absolute, normalised form of a name (relative names start from the current folder).
std::string ExpandFileName(const std::string& fileName);

// The running program's full file name (from /proc/self/exe) and its folder with a trailing '/'.
std::string ExecutableFileName();
std::string ExecutablePath();

// Attribute bits of a directory entry.
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,   // name starts with '.'
    faSysFile = 0x04,  // neither a regular file nor a directory (devices, sockets, pipes)
    faDirectory = 0x10,
    faArchive = 0x20,
};

// One entry of a directory search.
struct TSearchRec {
    std::string Name;
    int64_t Size = 0;
    uint32_t Attr = 0;
    int32_t Time = 0;  // last write time, local time, as a DOS date-time
};

// A directory search over the entries of a folder whose names match a pattern with '*' and '?'.
// Entries whose attributes include faHidden, faSysFile or faDirectory are skipped unless those
// bits are in the requested attributes. FindFirst and FindNext return 0 for an entry, else an
// errno value (ENOENT when no more entries match).
class TFileSearch {
public:
    int FindFirst(const std::string& pattern, uint32_t attributes, TSearchRec& rec);
    int FindNext(TSearchRec& rec);
    void FindClose();

private:
    std::string folder_;
    std::string mask_;
    uint32_t attributes_ = 0;
    std::vector<std::string> names_;
    size_t next_ = 0;
};

// The local time of a POSIX time as a DOS date-time (date in the high word).
int32_t DosDateTime(int64_t unixTime);
