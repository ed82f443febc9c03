#pragma once
// What reading a GIF may cost. A file declares sizes its data need not back (34 bytes declare a
// frame of 65535 x 65535 pixels), so reading checks every declared size against limits and
// counts what the document really takes, failing with a GIFException that says which limit
// was passed rather than running out of memory.
#include <cstdint>

struct TGIFReadLimits {
    // Pixels of one frame, and of the logical screen (which a painter has to cover): 16384 x
    // 16384, beyond any picture a person makes or views as a GIF.
    uint64_t MaxFramePixels = uint64_t{1} << 28;
    // Bytes the frames of one document may take: pixels (frames read keep their pixels, not
    // their coded data), frame and extension records. By default half the physical memory, so
    // that any document that fits in memory comfortably (thousands of 640 x 480 frames from a
    // long clip take a few gigabytes) still loads.
    uint64_t MaxDocumentBytes = DefaultMaxDocumentBytes();
    // Pixels the image data does not reach (a cut file, a frame declared without data) keep the
    // fill value but still take memory; the document's total of them may pass this allowance
    // only by as many pixels as its data did fill.
    uint64_t UnfilledPixelAllowance = uint64_t{1} << 24;

    static uint64_t DefaultMaxDocumentBytes();
};

// The running account of one document's reading against its limits.
class TGIFReadBudget {
public:
    // What the records of a frame and of an extension are counted at, beyond their data.
    static constexpr uint64_t kFrameRecordBytes = 1024;
    static constexpr uint64_t kExtensionRecordBytes = 128;
    // Stored extension data takes at most this many bytes per byte of the stream (a one-byte
    // sub-block becomes a string of its own).
    static constexpr uint64_t kExtensionBytesPerStreamByte = 16;

    TGIFReadBudget() = default;
    explicit TGIFReadBudget(const TGIFReadLimits& limits) : limits_(limits) {}

    const TGIFReadLimits& Limits() const { return limits_; }
    uint64_t UsedBytes() const { return usedBytes_; }

    // "Frame too large: W x H pixels, at most N"
    void CheckFrameSize(int width, int height) const;
    // "Logical screen too large: W x H pixels, at most N"
    void CheckScreenSize(int width, int height) const;
    // Counts bytes the document takes; "GIF needs more than N MB of memory" past the limit.
    void Charge(uint64_t bytes);
    // Counts a frame's pixels the data filled and those it left to the fill value; "Image data
    // missing for N pixels" past the allowance.
    void ChargeFill(uint64_t filledPixels, uint64_t unfilledPixels);

private:
    TGIFReadLimits limits_;
    uint64_t usedBytes_ = 0;
    uint64_t filledPixels_ = 0;
    uint64_t unfilledPixels_ = 0;
};
