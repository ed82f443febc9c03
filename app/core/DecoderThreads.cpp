#include "app/core/DecoderThreads.h"

#include <algorithm>

#include "app/core/FramePipeline.h"
#include "app/core/OptionStrings.h"

namespace {

// What one core spends decoding a frame of H.264 (libavcodec 5.1, 640x480 to 1920x1080 clips
// of 0.04 to 3.6 bits a pixel): about 3 ns a pixel and 13 ns a bit of the stream.
constexpr double kDecodeNsPerPixel = 3;
constexpr double kDecodeNsPerBit = 13;
// One decoding thread keeps up while decoding a frame costs at most this many nanoseconds per
// output pixel and frame worker: about what making a frame of a nearly still screen recording
// costs (a moving photograph's costs 75, a grainy one's over 100). Or, whatever the output, at
// most kCheapFrameNs: frames that cheap cost more to hand to other threads than they gain
// there. Measured on two cores: one thread was 2-11% faster on 640x480 clips (about 1 ms a
// frame) made into GIFs of 160x120 to 640x480; 23-39% slower on 1080p made into 640x360 and
// 320x180 GIFs, and 9% slower on a grainy 640x480 clip made into a 320x240 one.
constexpr double kMostDecodeNsPerOutputPixel = 20;
constexpr double kCheapFrameNs = 1.5e6;

}  // namespace

int DecoderThreadCount(const TClipFacts& facts, int64_t outputPixels, double outputsPerDecoded,
                       int frameWorkers) {
    if (facts.Codec != "h264" || facts.BitRate <= 0 || facts.FrameRate <= 0) return 0;
    if (facts.Width <= 0 || facts.Height <= 0 || outputPixels <= 0 || outputsPerDecoded <= 0)
        return 0;
    const double bitsPerFrame = static_cast<double>(facts.BitRate) / facts.FrameRate;
    const double decodeNs =
        kDecodeNsPerPixel * facts.Width * facts.Height + kDecodeNsPerBit * bitsPerFrame;
    const double allowedNs =
        std::max(kMostDecodeNsPerOutputPixel * static_cast<double>(outputPixels) *
                     std::min(outputsPerDecoded, 1.0),
                 kCheapFrameNs);
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
