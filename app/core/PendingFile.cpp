#include "app/core/PendingFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "app/core/PendingNames.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& name, int error) {
    throw Exception(std::string(what) + " \"" + name + "\". " + std::strerror(error));
}

std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string suffix(8, 'x');
    for (char& c : suffix) c = kLetters[device() % (sizeof kLetters - 1)];
    return suffix;
}

// Opens a new file of that name for writing; -1 (errno set) when it cannot.
int CreateExclusive(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

// The extension of the file name `name`, with its dot; "" when it has none.
std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

// Errors that say the file system cannot do this way of naming a file, rather than that the
// name is taken or the folder refuses.
bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP ||
           error == EPERM || error == EMLINK;
}

}  // namespace

// A buffered stream over the temporary file that knows whether every byte got through, and
// says why not where it did not. A GIF is written a frame, often a few kilobytes, at a time:
// the buffer gathers many frames into one call to the system.
class TPendingFile::TFileWriter : public TStream {
public:
    TFileWriter(std::FILE* file, const TPendingFile& owner)
        : file_(file), owner_(owner), buffer_(std::make_unique<char[]>(kBufferBytes)) {
        std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferBytes);
    }
    ~TFileWriter() override {
        if (file_) std::fclose(file_);
    }
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        errno = 0;
        const size_t written = std::fwrite(buffer, 1, count, file_);
        if (written != count) owner_.FailWriting(errno ? errno : EIO);
        return written;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        // Where the stream is, asked for after every frame, is told without emptying the buffer.
        if (offset == 0 && origin == TSeekOrigin::soCurrent) {
            const off_t at = ftello(file_);
            if (at < 0) throw EStreamError("Stream seek error");
            return at;
        }
        const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                           : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                              : SEEK_END;
        if (fseeko(file_, offset, whence) != 0) throw EStreamError("Stream seek error");
        return ftello(file_);
    }
    // 0, or the errno of the first thing that went wrong.
    int Close() {
        int error = std::ferror(file_) ? EIO : 0;
        if (std::fflush(file_) != 0 && !error) error = errno;
        if (::fsync(::fileno(file_)) != 0 && !error) error = errno;
        if (std::fclose(file_) != 0 && !error) error = errno;
        file_ = nullptr;
        return error;
    }

private:
    static constexpr size_t kBufferBytes = size_t{1} << 18;

    std::FILE* file_;
    const TPendingFile& owner_;
    std::unique_ptr<char[]> buffer_;  // the file's, until it is closed
};

TPendingFile::TPendingFile(const std::string& target) : target_(target) {
    const std::string folder = ExtractFilePath(target);
    const std::string name = ExtractFileName(target);
    RemoveStalePendingFiles(folder, ExtensionOf(name));
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        fd = CreateLocked(folder, name);
        if (fd == -1 && errno != EEXIST) Fail("Cannot create file", target, errno);
    }
    if (fd < 0) Fail("Cannot create file", target, EEXIST);
    lockDescriptor_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    std::FILE* file = lockDescriptor_ >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!file) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporaryName_.c_str());
        if (lockDescriptor_ >= 0) ::close(lockDescriptor_);
        lockDescriptor_ = -1;
        Fail("Cannot create file", target, error);
    }
    writer_ = std::make_unique<TFileWriter>(file, *this);
}

// A sweep of another run may hold the new file's lock for a moment and remove it: the file is
// ours only once we hold its lock and its name still leads to it. On a file system without
// locks it is written unlocked (and no sweep removes it there either).
int TPendingFile::CreateLocked(const std::string& folder, const std::string& name) {
    temporaryName_ = folder + PendingFileName(name, RandomSuffix(), FolderNameMax(folder));
    const int fd = CreateExclusive(temporaryName_);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) return fd;
        ::close(fd);
        return -2;
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && ::lstat(temporaryName_.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        return fd;
    ::close(fd);
    return -2;
}

TPendingFile::~TPendingFile() {
    writer_.reset();
    if (!placed_) ::unlink(temporaryName_.c_str());
    if (lockDescriptor_ >= 0) ::close(lockDescriptor_);
}

void TPendingFile::FailWriting(int error) const {
    throw Exception("Cannot write " + target_ + ": " + std::strerror(error));
}

TStream& TPendingFile::Stream() { return *writer_; }

void TPendingFile::Finish() {
    if (!writer_) return;
    const int error = writer_->Close();
    writer_.reset();
    if (error) FailWriting(error);
}

bool TPendingFile::MoveTo(const std::string& target, TNaming first) {
    Finish();
    switch (first) {
        case TNaming::Rename:
            return RenameTo(target);
        case TNaming::Link:
            return LinkTo(target);
        case TNaming::Copy:
            return CopyTo(target);
    }
    return false;
}

bool TPendingFile::RenameTo(const std::string& target) {
    if (::renameat2(AT_FDCWD, temporaryName_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
        0) {
        placed_ = true;
        return true;
    }
    if (errno == EEXIST) return false;
    if (!Unsupported(errno)) Fail("Cannot create file", target, errno);
    return LinkTo(target);
}

// A second name for the file, then the temporary one goes: for file systems that cannot
// rename without replacing.
bool TPendingFile::LinkTo(const std::string& target) {
    if (::link(temporaryName_.c_str(), target.c_str()) == 0) {
        ::unlink(temporaryName_.c_str());
        placed_ = true;
        return true;
    }
    if (errno == EEXIST) return false;
    if (!Unsupported(errno)) Fail("Cannot create file", target, errno);
    return CopyTo(target);
}

// A new file of the target's name with the content, for file systems without links.
bool TPendingFile::CopyTo(const std::string& target) {
    const int out = CreateExclusive(target);
    if (out < 0) {
        if (errno == EEXIST) return false;
        Fail("Cannot create file", target, errno);
    }
    int error = 0;
    const int in = ::open(temporaryName_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) error = errno;
    char buffer[65536];
    while (!error) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno != EINTR) error = errno;
            continue;
        }
        for (ssize_t done = 0; done < got && !error;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put >= 0) {
                done += put;
            } else if (errno != EINTR) {
                error = errno;
            }
        }
    }
    if (in >= 0) ::close(in);
    if (!error && ::fsync(out) != 0) error = errno;
    if (::close(out) != 0 && !error) error = errno;
    if (error) {
        ::unlink(target.c_str());
        throw Exception("Cannot write " + target + ": " + std::strerror(error));
    }
    ::unlink(temporaryName_.c_str());
    placed_ = true;
    return true;
}
