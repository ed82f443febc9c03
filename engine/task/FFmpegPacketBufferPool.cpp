#include "engine/task/FFmpegPacketBufferPool.h"

#include <algorithm>
#include <cstring>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"

TPacketBufferPool::~TPacketBufferPool() {
    if (pool_) libav::av_buffer_pool_uninit(&pool_);
}

void TPacketBufferPool::Attach(AVCodecContext* encoder) {
    encoder->opaque = this;
    encoder->get_encode_buffer = &TPacketBufferPool::GetBuffer;
}

int TPacketBufferPool::GetBuffer(AVCodecContext* encoder, AVPacket* packet, int flags) {
    auto* self = static_cast<TPacketBufferPool*>(encoder->opaque);
    if (!self || packet->size > self->limit_)
        return libav::avcodec_default_get_encode_buffer(encoder, packet, flags);
    return self->Fill(packet);
}

AVBufferRef* TPacketBufferPool::Allocate(void* opaque, size_t size) {
    static_cast<TPacketBufferPool*>(opaque)->allocations_++;  // under the pool's lock
    return libav::av_buffer_alloc(size);
}

int TPacketBufferPool::Fill(AVPacket* packet) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!pool_ || packet->size > size_) {
            // a quarter more than asked, in whole pages, so that sizes growing slowly do not
            // make a new pool each time
            const int64_t wanted =
                (static_cast<int64_t>(packet->size) * 5 / 4 + 4095) / 4096 * 4096;
            const int size = static_cast<int>(std::min<int64_t>(wanted, limit_));
            if (pool_) libav::av_buffer_pool_uninit(&pool_);  // freed once its buffers are back
            pool_ = libav::av_buffer_pool_init2(size + AV_INPUT_BUFFER_PADDING_SIZE, this,
                                                &Allocate, nullptr);
            if (!pool_) return kErrorOutOfMemory;
            size_ = size;
        }
        packet->buf = libav::av_buffer_pool_get(pool_);
        if (!packet->buf) return kErrorOutOfMemory;
    }
    packet->data = packet->buf->data;
    std::memset(packet->data + packet->size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return 0;
}
