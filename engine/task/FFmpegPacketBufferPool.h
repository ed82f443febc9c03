#pragma once
// TPacketBufferPool: the buffers video encoders that let the caller supply packet buffers
// write their packets into. A written packet's buffer returns to the pool once the muxer is
// done with it, so steady encoding allocates nothing. The buffers take the size of the largest
// packet asked for so far (they only grow), up to a limit beyond which packets get buffers of
// their own. Encoders may ask from their own threads, so the pool is safe to use from any
// thread.
#include <cstddef>
#include <mutex>

struct AVBufferPool;
struct AVBufferRef;
struct AVCodecContext;
struct AVPacket;

class TPacketBufferPool {
public:
    explicit TPacketBufferPool(int limit) : limit_(limit) {}
    // The pool goes once the packets still holding its buffers have let them go.
    ~TPacketBufferPool();
    TPacketBufferPool(const TPacketBufferPool&) = delete;
    TPacketBufferPool& operator=(const TPacketBufferPool&) = delete;

    // Makes the encoder take its packet buffers from this pool (the encoder's opaque value).
    void Attach(AVCodecContext* encoder);

    // The encoder's get_encode_buffer callback.
    static int GetBuffer(AVCodecContext* encoder, AVPacket* packet, int flags);

    // Buffers made so far, and their size now.
    int Allocations() const { return allocations_; }
    int BufferSize() const { return size_; }

private:
    int Fill(AVPacket* packet);
    static AVBufferRef* Allocate(void* opaque, size_t size);

    std::mutex mutex_;
    AVBufferPool* pool_ = nullptr;
    int size_ = 0;
    const int limit_;
    int allocations_ = 0;
};
