#include "app/core/FrameLimits.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

// What the media libraries check of every picture: (width + 128) x (height + 128) x 8 bytes
// below INT_MAX.
constexpr int64_t kPictureMargin = 128;
constexpr int64_t kBytesPerCheckedPixel = 8;

// Bytes per pixel at a conversion's peak, beyond what the program takes whatever the size:
// the decoded and scaled pictures, the frames in the pipeline and their working copies, the
// coded frames waiting to be written.
constexpr uint64_t kFittedBytesPerPixel = 90;
constexpr uint64_t kOctreeBytesPerPixel = 32;
constexpr uint64_t kProgramBytes = 60ull << 20;

std::string Gigabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / (1ull << 30));
    return text;
}

}  // namespace

bool WritableFrameSize(int width, int height) {
    if (width < 1 || height < 1 || width > kLargestFrameSide || height > kLargestFrameSide)
        return false;
    return (width + kPictureMargin) * (height + kPictureMargin) * kBytesPerCheckedPixel < INT_MAX;
}

std::string TooLargeForFramesText() {
    return std::string("is larger than ClipGIF can write: at most ") + kLargestSquareFrame +
           " (a side of up to " + std::to_string(kLargestFrameSide) +
           " where the other is shorter)";
}

uint64_t ConversionMemoryBytes(int width, int height, TFrameColors colors) {
    const uint64_t pixels = static_cast<uint64_t>(std::max(width, 0)) * std::max(height, 0);
    return kProgramBytes +
           pixels * (colors == TFrameColors::Fitted ? kFittedBytesPerPixel : kOctreeBytesPerPixel);
}

std::string MemoryShortfallText(int width, int height, TFrameColors colors, uint64_t usableBytes) {
    const uint64_t needed = ConversionMemoryBytes(width, height, colors);
    if (usableBytes == 0 || needed <= usableBytes) return {};
    return "a " + std::to_string(width) + "x" + std::to_string(height) + " GIF needs at least " +
           Gigabytes(needed) + " of memory, more than ClipGIF can have on this machine (" +
           Gigabytes(usableBytes) + ")";
}
