#pragma once
// The "rotate" video filter's pixel mapping: turns a planar YUV frame by a whole number of
// degrees about its top-left corner and shifts it so that the turned frame fits the output,
// whose size is the bounding box of the turned frame. Output pixels that no input pixel covers
// are black (luma 16, chroma 128).
#include <cstdint>
#include <span>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

class TRotateFilter {
public:
    // Reads the angle in degrees from `arguments` (null or empty: 45). A text that is not an
    // integer raises Exception "'%s' is not a valid integer value".
    void Init(const char* arguments);

    // The pixel formats the filter takes, in order of preference.
    static std::span<const AVPixelFormat> PixelFormats();
    static bool Supports(AVPixelFormat format);

    // Takes the input's format and size and works out the output size. False for a format the
    // filter does not take.
    bool ConfigInput(AVPixelFormat format, int width, int height);

    // Fills `out` (freshly allocated, no buffers yet) with the turned `in`: buffers of the output
    // size, the input's timestamps and properties, the aspect ratio turned too. Returns 0 or a
    // negative libav error.
    int Filter(const AVFrame* in, AVFrame* out) const;

    int Angle() const { return angle_; }
    int OutputWidth() const { return outputWidth_; }
    int OutputHeight() const { return outputHeight_; }
    float TranslationX() const { return translationX_; }
    float TranslationY() const { return translationY_; }

private:
    void MapLuma(const AVFrame* in, AVFrame* out) const;
    void MapChroma(const AVFrame* in, AVFrame* out, int plane) const;

    int angle_ = 45;
    float sine_ = 0;
    float cosine_ = 1;
    float translationX_ = 0;
    float translationY_ = 0;
    int inputWidth_ = 0;
    int inputHeight_ = 0;
    int outputWidth_ = 0;
    int outputHeight_ = 0;
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    int horizontalShift_ = 0;
    int verticalShift_ = 0;
    static constexpr uint8_t kLumaFill = 16;
    static constexpr uint8_t kChromaFill = 128;
};
