#include "engine/frames/vf_rotate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "engine/entrypoints/avutil.h"
#include "platform/Exception.h"

namespace {

constexpr AVPixelFormat kPixelFormats[] = {
    AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV422P,  AV_PIX_FMT_YUV420P,  AV_PIX_FMT_YUV411P,
    AV_PIX_FMT_YUV410P, AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ420P,
    AV_PIX_FMT_YUV440P, AV_PIX_FMT_YUVJ440P,
};

// An integer as the platform's text-to-integer conversion reads it: optional leading blanks,
// an optional sign and decimal digits, nothing after them.
int ParseAngle(const char* text) {
    const char* begin = text;
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '+') ++begin;
    const char* end = text + std::strlen(text);
    int value = 0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end) {
        throw Exception("'" + std::string(text) + "' is not a valid integer value");
    }
    return value;
}

int CeilShift(int value, int shift) { return -((-value) >> shift); }

}  // namespace

void TRotateFilter::Init(const char* arguments) {
    angle_ = (arguments && *arguments) ? ParseAngle(arguments) : 45;
    const double radians = angle_ * std::numbers::pi / 180.0;
    sine_ = static_cast<float>(std::sin(radians));
    cosine_ = static_cast<float>(std::cos(radians));
}

std::span<const AVPixelFormat> TRotateFilter::PixelFormats() { return kPixelFormats; }

bool TRotateFilter::Supports(AVPixelFormat format) {
    return std::find(std::begin(kPixelFormats), std::end(kPixelFormats), format) !=
           std::end(kPixelFormats);
}

bool TRotateFilter::ConfigInput(AVPixelFormat format, int width, int height) {
    if (!Supports(format) || width <= 0 || height <= 0) return false;
    const AVPixFmtDescriptor* descriptor = libav::av_pix_fmt_desc_get(format);
    if (!descriptor) return false;
    format_ = format;
    horizontalShift_ = descriptor->log2_chroma_w;
    verticalShift_ = descriptor->log2_chroma_h;
    inputWidth_ = width;
    inputHeight_ = height;

    const double s = sine_, c = cosine_, w = width, h = height;
    translationX_ = static_cast<float>(std::max(0.0, h * s) + std::max(0.0, -w * c));
    translationY_ = static_cast<float>(std::max(0.0, -h * c) + std::max(0.0, -w * s));
    outputWidth_ =
        static_cast<int>(std::floor(translationX_ + std::max(0.0, w * c) + std::max(0.0, -h * s)));
    outputHeight_ =
        static_cast<int>(std::floor(translationY_ + std::max(0.0, w * s) + std::max(0.0, h * c)));
    return true;
}

int TRotateFilter::Filter(const AVFrame* in, AVFrame* out) const {
    if (in->format != format_ || in->width != inputWidth_ || in->height != inputHeight_ ||
        outputWidth_ <= 0 || outputHeight_ <= 0) {
        return AVERROR(EINVAL);
    }
    out->format = format_;
    out->width = outputWidth_;
    out->height = outputHeight_;
    int result = libav::av_frame_get_buffer(out, 0);
    if (result < 0) return result;
    result = libav::av_frame_copy_props(out, in);
    if (result < 0) return result;
    if (in->sample_aspect_ratio.num != 0) {
        out->sample_aspect_ratio =
            av_make_q(in->sample_aspect_ratio.den, in->sample_aspect_ratio.num);
    }
    MapLuma(in, out);
    MapChroma(in, out, 1);
    MapChroma(in, out, 2);
    return 0;
}

// Output pixel (i, j) takes the input pixel the inverse turn lands on, rounded to the nearest.
void TRotateFilter::MapLuma(const AVFrame* in, AVFrame* out) const {
    const double s = sine_, c = cosine_;
    const uint8_t* source = in->data[0];
    const int sourceStride = in->linesize[0];
    for (int i = 0; i < outputHeight_; ++i) {
        uint8_t* row = out->data[0] + static_cast<ptrdiff_t>(i) * out->linesize[0];
        const double di = i - static_cast<double>(translationY_);
        for (int j = 0; j < outputWidth_; ++j) {
            const double dj = j - static_cast<double>(translationX_);
            const int x = static_cast<int>(std::floor(s * di + c * dj + 0.5));
            const int y = static_cast<int>(std::floor(c * di - s * dj + 0.5));
            const bool inside = x >= 0 && x < inputWidth_ && y >= 0 && y < inputHeight_;
            row[j] = inside ? source[static_cast<ptrdiff_t>(y) * sourceStride + x] : kLumaFill;
        }
    }
}

// Chroma samples map through their luma-scale position; the source sample index is kept inside
// the chroma plane, which for 4:1:1 and 4:1:0 is narrower than the luma position's rounding.
void TRotateFilter::MapChroma(const AVFrame* in, AVFrame* out, int plane) const {
    const double s = sine_, c = cosine_;
    const int hs = horizontalShift_, vs = verticalShift_;
    const int outWidth = CeilShift(outputWidth_, hs), outHeight = CeilShift(outputHeight_, vs);
    const int lastColumn = CeilShift(inputWidth_, hs) - 1;
    const int lastRow = CeilShift(inputHeight_, vs) - 1;
    const uint8_t* source = in->data[plane];
    const int sourceStride = in->linesize[plane];
    for (int i = 0; i < outHeight; ++i) {
        uint8_t* row = out->data[plane] + static_cast<ptrdiff_t>(i) * out->linesize[plane];
        const double di = ((i + vs / 2) << vs) - static_cast<double>(translationY_);
        for (int j = 0; j < outWidth; ++j) {
            const double dj = ((j + hs / 2) << hs) - static_cast<double>(translationX_);
            const int x = static_cast<int>(s * di + c * dj + 0.5);
            const int y = static_cast<int>(c * di - s * dj + 0.5);
            if (x < 0 || x >= inputWidth_ || y < 0 || y >= inputHeight_) {
                row[j] = kChromaFill;
                continue;
            }
            const int column = std::min((x + hs / 2) >> hs, lastColumn);
            const int line = std::min((y + vs / 2) >> vs, lastRow);
            row[j] = source[static_cast<ptrdiff_t>(line) * sourceStride + column];
        }
    }
}
