#include "engine/task/FFmpegFrameBufferPool.h"

#include <cstring>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"

namespace {

constexpr size_t kPlaneAlignment = 64;

size_t AlignUp(size_t value) { return (value + kPlaneAlignment - 1) & ~(kPlaneAlignment - 1); }

// Line sizes for pictures `width` wide that meet the decoder's alignment for every plane. The
// width is widened by its lowest set bit until they do, so that planes keep their size ratios.
int AlignedLinesizes(AVPixelFormat format, int width, const int* linesizeAlign, int* linesizes) {
    for (int tries = 0; tries < 32; tries++) {
        const int ret = libav::av_image_fill_linesizes(linesizes, format, width);
        if (ret < 0) return ret;
        bool aligned = true;
        for (int i = 0; i < 4; i++)
            if (linesizeAlign[i] > 0 && linesizes[i] % linesizeAlign[i] != 0) aligned = false;
        if (aligned) return 0;
        width += width & ~(width - 1);
    }
    return kErrorInvalidArgument;
}

}  // namespace

TFrameBufferPool::~TFrameBufferPool() {
    if (pool_) libav::av_buffer_pool_uninit(&pool_);
}

void TFrameBufferPool::Attach(AVCodecContext* decoder) {
    decoder->opaque = this;
    decoder->get_buffer2 = &TFrameBufferPool::GetBuffer;
#if FF_API_THREAD_SAFE_CALLBACKS
    // libavcodec 59 still asks to be told that the callback may run on its decoding threads
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    decoder->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
}

int TFrameBufferPool::GetBuffer(AVCodecContext* decoder, AVFrame* frame, int flags) {
    if (decoder->codec_type != AVMEDIA_TYPE_VIDEO || !decoder->opaque)
        return libav::avcodec_default_get_buffer2(decoder, frame, flags);
    return static_cast<TFrameBufferPool*>(decoder->opaque)->Fill(decoder, frame);
}

AVBufferRef* TFrameBufferPool::Allocate(void* opaque, size_t size) {
    AVBufferRef* buffer = libav::av_buffer_alloc(size);
    if (!buffer) return nullptr;
    std::memset(buffer->data, 128, size);
    static_cast<TFrameBufferPool*>(opaque)->allocations_++;
    return buffer;
}

int TFrameBufferPool::Configure(AVCodecContext* decoder, int width, int height,
                                AVPixelFormat format) {
    int alignedWidth = width, alignedHeight = height;
    int linesizeAlign[AV_NUM_DATA_POINTERS] = {};
    libav::avcodec_align_dimensions2(decoder, &alignedWidth, &alignedHeight, linesizeAlign);
    int linesizes[4] = {};
    int ret = AlignedLinesizes(format, alignedWidth, linesizeAlign, linesizes);
    if (ret < 0) return ret;
    ptrdiff_t linesizes64[4];
    for (int i = 0; i < 4; i++) linesizes64[i] = linesizes[i];
    size_t sizes[4] = {};
    ret = libav::av_image_fill_plane_sizes(sizes, format, alignedHeight, linesizes64);
    if (ret < 0) return ret;
    size_t total = 0;
    planes_ = 0;
    for (int i = 0; i < 4; i++) {
        linesizes_[i] = linesizes[i];
        offsets_[i] = total;
        if (sizes[i] == 0) continue;
        planes_ = i + 1;
        total = AlignUp(total + sizes[i] + 16);
    }
    if (pool_) libav::av_buffer_pool_uninit(&pool_);  // freed once its buffers are back
    pool_ = libav::av_buffer_pool_init2(total + kPlaneAlignment, this, &Allocate, nullptr);
    if (!pool_) return kErrorOutOfMemory;
    width_ = width;
    height_ = height;
    format_ = format;
    return 0;
}

int TFrameBufferPool::Fill(AVCodecContext* decoder, AVFrame* frame) {
    const auto format = static_cast<AVPixelFormat>(frame->format);
    if (libav::av_image_check_size2(frame->width, frame->height, INT64_MAX, format, 0, decoder) < 0)
        return kErrorOther;
    AVBufferRef* buffer = nullptr;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!pool_ || frame->width != width_ || frame->height != height_ || format != format_) {
            const int ret = Configure(decoder, frame->width, frame->height, format);
            if (ret < 0) return ret;
        }
        buffer = libav::av_buffer_pool_get(pool_);
        if (!buffer) return kErrorOutOfMemory;
        // The pool's buffers start where av_buffer_alloc put them: align the first plane.
        const auto base = reinterpret_cast<uintptr_t>(buffer->data);
        const size_t shift = AlignUp(base) - base;
        for (int i = 0; i < 4; i++) {
            frame->data[i] = i < planes_ ? buffer->data + shift + offsets_[i] : nullptr;
            frame->linesize[i] = i < planes_ ? linesizes_[i] : 0;
        }
    }
    frame->buf[0] = buffer;
    frame->extended_data = frame->data;
    return 0;
}
