#include "platform/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t TStream::Size() {
    const int64_t here = Position();
    const int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(here, TSeekOrigin::soBeginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    uint8_t buffer[65536];
    int64_t left = count;
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, sizeof buffer));
        source.ReadBuffer(buffer, n);
        WriteBuffer(buffer, n);
        left -= static_cast<int64_t>(n);
    }
    return count;
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    if (pos_ >= data_.size()) return 0;
    const size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return 0;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = static_cast<int64_t>(pos_);
    if (origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(data_.size());
    const int64_t target = base + offset;
    if (target < 0) throw EStreamError("Stream seek error");
    pos_ = static_cast<size_t>(target);
    return target;
}

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count) {
    if (pos_ >= size_) return 0;
    const size_t n = std::min(count, size_ - pos_);
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = static_cast<int64_t>(pos_);
    if (origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(size_);
    const int64_t target = base + offset;
    if (target < 0) throw EStreamError("Stream seek error");
    pos_ = static_cast<size_t>(target);
    return target;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    const int64_t size = file.Size();
    data_.resize(static_cast<size_t>(size));
    file.ReadBuffer(data_.data(), data_.size());
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, TFileStream::Mode::Create);
    file.WriteBuffer(data_.data(), data_.size());
}

TFileStream::TFileStream(const std::string& fileName, Mode mode) : fileName_(fileName) {
    const char* how = mode == Mode::Create ? "wb" : mode == Mode::OpenRead ? "rb" : "r+b";
    file_ = std::fopen(fileName.c_str(), how);
    if (!file_) {
        const char* verb = mode == Mode::Create ? "Cannot create file" : "Cannot open file";
        throw EStreamError(std::string(verb) + " \"" + fileName + "\". " + std::strerror(errno));
    }
}

TFileStream::~TFileStream() {
    if (file_) std::fclose(file_);
}

size_t TFileStream::Read(void* buffer, size_t count) { return std::fread(buffer, 1, count, file_); }

size_t TFileStream::Write(const void* buffer, size_t count) {
    return std::fwrite(buffer, 1, count, file_);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    if (fseeko(file_, offset, whence) != 0) throw EStreamError("Stream seek error");
    return ftello(file_);
}

size_t TCountingStream::Write(const void*, size_t count) {
    pos_ += static_cast<int64_t>(count);
    size_ = std::max(size_, pos_);
    return count;
}

int64_t TCountingStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                         : origin == TSeekOrigin::soCurrent ? pos_
                                                            : size_;
    pos_ = std::max<int64_t>(base + offset, 0);
    return pos_;
}
