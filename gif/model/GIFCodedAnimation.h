#pragma once
// TGIFCodedAnimation: a GIF file held as it is stored, for playing it. Reading indexes its
// frames (place, delay, disposal, transparency, colour table) and keeps the file's bytes; a
// frame's pixels are decoded from its image data only when it is shown. It takes the file's
// size in memory and a small record per frame, however large the pictures the file decodes to.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/format/GIFReadBudget.h"
#include "gif/model/GIFExtensions.h"
#include "platform/Canvas.h"

// What the index knows of a frame.
struct TGIFCodedFrame {
    TRect Bounds;  // on the logical screen
    // Offsets into the file's bytes: the image data (its code size byte), the local colour
    // table (-1: the frame uses the global one).
    uint64_t DataOffset = 0;
    int64_t LocalColors = -1;
    uint16_t LocalColorCount = 0;
    uint16_t Delay = 0;  // hundredths of a second, 0 when none is given
    int16_t TransparentIndex = -1;
    TDisposalMethod Disposal = dmNone;
    bool Interlaced = false;
};

class TGIFCodedAnimation {
public:
    // Indexes the bytes of a GIF file. A file that cannot be read as a GIF (no signature, a
    // header cut short, no frame at all, sizes beyond `limits`) fails with GIFException; what
    // follows a damaged or unknown block after the first frame is left out.
    explicit TGIFCodedAnimation(std::vector<uint8_t> bytes, const TGIFReadLimits& limits = {});
    // The same for the file's bytes (EStreamError when it cannot be read).
    static std::unique_ptr<TGIFCodedAnimation> FromFile(const std::string& fileName,
                                                        const TGIFReadLimits& limits = {});

    // The logical screen, grown to cover every frame.
    int Width() const { return width_; }
    int Height() const { return height_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    const TGIFCodedFrame& Frame(int index) const { return frames_[static_cast<size_t>(index)]; }
    // Times the animation repeats by its looping extension: 0 for ever, -1 without one (it
    // plays once).
    int LoopCount() const { return loopCount_; }

    // The frame's colours for indices 0 to 255 as 0x00RRGGBB: its local table, else the
    // global one; indices past the table's end read its first entry, no table gives black.
    std::array<uint32_t, 256> FrameColors(int index) const;
    // The frame's colour indices (width x height, rows top to bottom) into `pixels`; what
    // damaged data does not reach keeps the transparent index (else 0).
    void DecodeFrame(int index, std::vector<uint8_t>& pixels) const;

    // The memory the animation holds: the file's bytes and the index.
    size_t HeldBytes() const;

private:
    void ReadHeader(TStream& stream, TGIFReadBudget& budget);
    // Reads blocks up to the trailer; false when the stream ends or holds something unknown.
    void ReadFrames(TStream& stream, TGIFReadBudget& budget);
    void ReadExtension(TStream& stream, TGIFCodedFrame& pending);
    void ReadFrame(TStream& stream, TGIFCodedFrame& pending, TGIFReadBudget& budget);

    std::vector<uint8_t> bytes_;
    std::vector<TGIFCodedFrame> frames_;
    int width_ = 0;
    int height_ = 0;
    int64_t globalColors_ = -1;
    int globalColorCount_ = 0;
    int loopCount_ = -1;
};
