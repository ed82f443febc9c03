#include "engine/decoder/FFDecodeDeinterlace.h"

#include <cstdint>
#include <cstring>

#include "engine/entrypoints/avutil.h"

namespace {

bool Deinterlaceable(int format) {
    switch (format) {
        case AV_PIX_FMT_YUV420P:
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUV422P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUV444P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUV411P:
        case AV_PIX_FMT_GRAY8:
            return true;
        default:
            return false;
    }
}

uint8_t Clip8(int value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

// One rebuilt line from the two lines above it, itself and the two below it.
void FilterLine(uint8_t* out, const uint8_t* above2, const uint8_t* above1, const uint8_t* line,
                const uint8_t* below1, const uint8_t* below2, int width) {
    for (int x = 0; x < width; ++x) {
        const int sum = -above2[x] + 4 * above1[x] + 2 * line[x] + 4 * below1[x] - below2[x];
        out[x] = Clip8((sum + 4) >> 3);
    }
}

void DeinterlacePlane(uint8_t* target, int targetStride, const uint8_t* source, int sourceStride,
                      int width, int height) {
    // Rows outside the plane repeat its edge rows.
    auto row = [&](int y) {
        y = y < 0 ? 0 : (y >= height ? height - 1 : y);
        return source + static_cast<ptrdiff_t>(y) * sourceStride;
    };
    for (int y = 0; y < height; y += 2) {
        std::memcpy(target + static_cast<ptrdiff_t>(y) * targetStride, row(y), width);
        if (y + 1 < height) {
            FilterLine(target + static_cast<ptrdiff_t>(y + 1) * targetStride, row(y - 1), row(y),
                       row(y + 1), row(y + 2), row(y + 3), width);
        }
    }
}

}  // namespace

bool DeinterlaceFrame(const AVFrame& source, AVFrame& target) {
    if (!Deinterlaceable(source.format) || source.width % 4 != 0 || source.height % 4 != 0 ||
        target.format != source.format || target.width != source.width ||
        target.height != source.height) {
        return false;
    }
    const AVPixFmtDescriptor* descriptor =
        libav::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(source.format));
    if (descriptor == nullptr) return false;
    for (int plane = 0; plane < descriptor->nb_components; ++plane) {
        const bool chroma = plane == 1 || plane == 2;
        const int width = chroma ? source.width >> descriptor->log2_chroma_w : source.width;
        const int height = chroma ? source.height >> descriptor->log2_chroma_h : source.height;
        DeinterlacePlane(target.data[plane], target.linesize[plane], source.data[plane],
                         source.linesize[plane], width, height);
    }
    return true;
}
