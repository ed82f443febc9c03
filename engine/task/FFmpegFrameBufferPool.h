#pragma once
// TFrameBufferPool: the picture buffers a direct-rendering video decoder decodes into. Decoded
// pictures go on to the filter graphs by reference; a buffer returns to the pool when the last
// frame holding it lets go, so steady decoding allocates nothing. The decoder may ask for
// buffers from its own threads (frame threading), so the pool is safe to use from any thread.
#include <cstddef>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVBufferPool;
struct AVBufferRef;
struct AVCodecContext;
struct AVFrame;

class TFrameBufferPool {
public:
    TFrameBufferPool() = default;
    // The pool goes once the frames still holding its buffers have let them go.
    ~TFrameBufferPool();
    TFrameBufferPool(const TFrameBufferPool&) = delete;
    TFrameBufferPool& operator=(const TFrameBufferPool&) = delete;

    // Makes the decoder take its picture buffers from this pool (the decoder's opaque value).
    void Attach(AVCodecContext* decoder);

    // The decoder's get_buffer2 callback.
    static int GetBuffer(AVCodecContext* decoder, AVFrame* frame, int flags);

    // Buffers made so far (each new one costs an allocation).
    int Allocations() const { return allocations_; }

private:
    int Fill(AVCodecContext* decoder, AVFrame* frame);
    // Lays out pictures of this size and format and starts a new pool for them.
    int Configure(AVCodecContext* decoder, int width, int height, AVPixelFormat format);
    static AVBufferRef* Allocate(void* opaque, size_t size);

    std::mutex mutex_;
    AVBufferPool* pool_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    int linesizes_[4] = {};
    size_t offsets_[4] = {};
    int planes_ = 0;
    int allocations_ = 0;
};
