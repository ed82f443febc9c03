#include "gif/format/GIFReadBudget.h"

#include <string>

#include "gif/core/GIFException.h"
#include "platform/SystemMemory.h"

namespace {

constexpr uint64_t kFallbackDocumentBytes = uint64_t{4} << 30;

uint64_t Area(int width, int height) {
    return static_cast<uint64_t>(width > 0 ? width : 0) *
           static_cast<uint64_t>(height > 0 ? height : 0);
}

std::string MemoryText(uint64_t bytes) {
    return bytes >= (uint64_t{1} << 20) ? std::to_string(bytes >> 20) + " MB"
                                        : std::to_string(bytes >> 10) + " KB";
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

}  // namespace

uint64_t TGIFReadLimits::DefaultMaxDocumentBytes() {
    static const uint64_t bytes = [] {
        const uint64_t physical = PhysicalMemoryBytes();
        return physical > 0 ? physical / 2 : kFallbackDocumentBytes;
    }();
    return bytes;
}

void TGIFReadBudget::CheckFrameSize(int width, int height) const {
    if (Area(width, height) > limits_.MaxFramePixels)
        throw GIFException("Frame too large: " + SizeText(width, height) + ", at most " +
                           std::to_string(limits_.MaxFramePixels));
}

void TGIFReadBudget::CheckScreenSize(int width, int height) const {
    if (Area(width, height) > limits_.MaxFramePixels)
        throw GIFException("Logical screen too large: " + SizeText(width, height) + ", at most " +
                           std::to_string(limits_.MaxFramePixels));
}

void TGIFReadBudget::Charge(uint64_t bytes) {
    usedBytes_ += bytes;
    if (usedBytes_ > limits_.MaxDocumentBytes)
        throw GIFException("GIF needs more than " + MemoryText(limits_.MaxDocumentBytes) +
                           " of memory");
}

void TGIFReadBudget::ChargeFill(uint64_t filledPixels, uint64_t unfilledPixels) {
    filledPixels_ += filledPixels;
    unfilledPixels_ += unfilledPixels;
    if (unfilledPixels_ > limits_.UnfilledPixelAllowance + filledPixels_)
        throw GIFException("Image data missing for " + std::to_string(unfilledPixels_) + " pixels");
}
