#pragma once
// A file that lives in memory only (memfd): it has a path other code in this process can open
// by name, and it goes with its last descriptor, so nothing of it is left behind, however the
// process ends.
#include <cstdint>
#include <string>

class TMemoryFile {
public:
    // Throws Exception when the system cannot make one.
    explicit TMemoryFile(const char* name);
    ~TMemoryFile();
    TMemoryFile(TMemoryFile&& other) noexcept;
    TMemoryFile& operator=(TMemoryFile&& other) noexcept;
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;

    // "/proc/self/fd/N": opened by this process, the file itself.
    std::string Path() const;
    // Bytes it holds now.
    int64_t Size() const;

private:
    int fd_ = -1;
};
