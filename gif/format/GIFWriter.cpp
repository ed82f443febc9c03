#include "gif/format/GIFWriter.h"

#include <algorithm>
#include <cstring>

#include "gif/core/GIFException.h"

namespace {
[[noreturn]] void InvalidStreamOperation() { throw GIFException("Invalid stream operation"); }
}  // namespace

size_t TGIFStream::Read(void*, size_t) { InvalidStreamOperation(); }

int64_t TGIFStream::Seek(int64_t, TSeekOrigin) { InvalidStreamOperation(); }

TGIFWriter::~TGIFWriter() {
    try {
        Flush();
    } catch (...) {
        // Destruction during unwinding must not throw; the first error is already propagating.
    }
}

size_t TGIFWriter::Write(const void* buffer, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (size_t left = count; left > 0;) {
        const size_t room = static_cast<size_t>(kBlockSize + 1 - fill_);
        const size_t part = std::min(left, room);
        std::memcpy(buffer_ + fill_, bytes, part);
        fill_ += static_cast<int>(part);
        bytes += part;
        left -= part;
        if (fill_ > kBlockSize) WriteBlock();
    }
    return count;
}

void TGIFWriter::WriteBlock() {
    const int length = fill_ - 1;
    buffer_[0] = static_cast<uint8_t>(length);
    fill_ = 1;
    target_.WriteBuffer(buffer_, static_cast<size_t>(length) + 1);
}
