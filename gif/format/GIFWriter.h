#pragma once
// Writer of GIF data sub-blocks: bytes are gathered into blocks of at most 255 bytes, each written
// after its length byte. The writer only writes; reading or seeking through it is an error.
#include <cstdint>

#include "platform/Stream.h"

// A write-only stream over a target stream.
class TGIFStream : public TStream {
public:
    explicit TGIFStream(TStream& target) : target_(target) {}
    // Fail with GIFException "Invalid stream operation".
    size_t Read(void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

protected:
    TStream& target_;
};

class TGIFWriter : public TGIFStream {
public:
    static constexpr int kBlockSize = 255;

    explicit TGIFWriter(TStream& target) : TGIFStream(target) {}
    // Writes what is still buffered; errors are swallowed here, call Flush to see them.
    ~TGIFWriter() override;
    TGIFWriter(const TGIFWriter&) = delete;
    TGIFWriter& operator=(const TGIFWriter&) = delete;

    size_t Write(const void* buffer, size_t count) override;

    // Appends one byte; a full block goes to the target at once.
    void PutByte(uint8_t value) {
        buffer_[fill_++] = value;
        if (fill_ > kBlockSize) WriteBlock();
    }
    // Writes the partly filled block, if any. Never writes an empty block.
    void Flush() {
        if (Dirty()) WriteBlock();
    }
    // Bytes have been written since the last block went out.
    bool Dirty() const { return fill_ > 1; }

private:
    void WriteBlock();

    // buffer_[0] receives the block's length when it is written.
    uint8_t buffer_[kBlockSize + 1] = {};
    int fill_ = 1;
};
