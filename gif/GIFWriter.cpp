#include "gif/GIFWriter.h"

#include "gif/GIFException.h"

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
    for (size_t i = 0; i < count; ++i) PutByte(bytes[i]);
    return count;
}

void TGIFWriter::WriteBlock() {
    const int length = fill_ - 1;
    buffer_[0] = static_cast<uint8_t>(length);
    fill_ = 1;
    target_.WriteBuffer(buffer_, static_cast<size_t>(length) + 1);
}
