#include "app/core/DecoderThreads.h"

#include <algorithm>

#include "app/core/FramePipeline.h"
#include "app/core/OptionStrings.h"

namespace {

// What one core spends decoding a frame of H.264 (libavcodec 5.1, 640x480 to 1920x1080 clips
// of 0.04 to 3.6 bits a pixel): about 3 ns a pixel and 13 ns a bit of the stream.
constexpr double kDecodeNsPerPixel = 3;
constexpr double kDecodeNsPerBit = 13;
// One decoding thread keeps up while a frame decodes in this many nanoseconds per output pixel
// and frame worker or less. Measured on two cores: one thread is faster at 15 to 88 (1080p
// made into 1280x720 and 960x540 GIFs, a grainy 640x480 one into 480x360, 640x480 clips into
// 160x120 to 640x480), several at 198 and more (the grainy clip into 320x240, 1080p into
// 320x180, 39% faster there).
constexpr double kMostDecodeNsPerOutputPixel = 80;

}  // namespace

int DecoderThreadCount(const TClipFacts& facts, int64_t outputPixels, double outputsPerDecoded,
                       int frameWorkers) {
    if (facts.Codec != "h264" || facts.BitRate <= 0 || facts.FrameRate <= 0) return 0;
    if (facts.Width <= 0 || facts.Height <= 0 || outputPixels <= 0 || outputsPerDecoded <= 0)
        return 0;
    const double bitsPerFrame = static_cast<double>(facts.BitRate) / facts.FrameRate;
    const double decodeNs =
        kDecodeNsPerPixel * facts.Width * facts.Height + kDecodeNsPerBit * bitsPerFrame;
    const double allowedNs = kMostDecodeNsPerOutputPixel * static_cast<double>(outputPixels) *
                             std::min(outputsPerDecoded, 1.0);
    return decodeNs * std::max(frameWorkers, 1) <= allowedNs ? 1 : 0;
}

int DefaultDecoderThreads(const TConversionChoices& choices, const TClipFacts& facts,
                          const TTaskOptionTexts& texts) {
    const bool ownSize = texts.Width <= 0 || texts.Height <= 0;
    const int64_t width = ownSize ? facts.Width : texts.Width;
    const int64_t height = ownSize ? facts.Height : texts.Height;
    const double clipRate = facts.FrameRate;
    const double outputRate =
        choices.FrameRate > 0 ? choices.FrameRate : std::min(clipRate, kHighestFrameRate);
    const double outputsPerDecoded = clipRate > 0 ? outputRate / clipRate : 0;
    return DecoderThreadCount(facts, width * height, outputsPerDecoded, DefaultFrameWorkers());
}
