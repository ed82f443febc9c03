#include "platform/MemoryFile.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Exception.h"

TMemoryFile::TMemoryFile(const char* name) : fd_(memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0)
        throw Exception(std::string("Cannot make a file in memory: ") + std::strerror(errno));
}

TMemoryFile::~TMemoryFile() {
    if (fd_ >= 0) close(fd_);
}

TMemoryFile::TMemoryFile(TMemoryFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TMemoryFile& TMemoryFile::operator=(TMemoryFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::string TMemoryFile::Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

int64_t TMemoryFile::Size() const {
    struct stat status {};
    return fstat(fd_, &status) == 0 ? static_cast<int64_t>(status.st_size) : 0;
}
