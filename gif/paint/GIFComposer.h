#pragma once
// The pictures an animation shows: each frame drawn over what the frames before it left, after
// the disposal of the frame before it.
#include <array>
#include <cstdint>
#include <vector>

#include "gif/model/GIFExtensions.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

class TGIFSubImage;

// A frame's colours for indices 0 to 255 as 0x00RRGGBB: indices past the active table's end
// read its first entry (as the table answers them), an empty table gives black.
std::array<uint32_t, 256> FrameColors(TGIFSubImage& frame);

// The disposal method of a frame: its first graphic control extension's, dmNone without one.
TDisposalMethod FrameDisposal(const TGIFSubImage& frame);

// A frame as the composer draws it: its rectangle on the logical screen, its colour indices
// (Width x Height, rows top to bottom), its colours, its transparent index (-1: none) and its
// disposal method.
struct TGIFFramePicture {
    TRect Bounds;
    const uint8_t* Pixels = nullptr;
    const std::array<uint32_t, 256>* Colors = nullptr;
    int TransparentIndex = -1;
    TDisposalMethod Disposal = dmNone;
};

class TGIFComposer {
public:
    // Marks a pixel no frame shows (the screen's background); the low 24 bits hold the
    // background colour.
    static constexpr uint32_t kUncovered = 0x01000000;

    // A logical screen of width x height; `background` (0x00RRGGBB) is what uncovered pixels
    // look like in ToBitmap.
    TGIFComposer(int width, int height, uint32_t background = 0);

    // Back to the empty screen, nothing pending.
    void Reset();
    // Carries out the disposal of the frame drawn last, then draws `frame`: its transparent
    // pixels leave the picture as it was. Empty frames change nothing.
    void Draw(TGIFSubImage& frame);
    // The same for a frame described apart from a document; one without area or pixels draws
    // nothing.
    void Draw(const TGIFFramePicture& frame);
    // Carries out the disposal of the frame drawn last.
    void Dispose();

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Row y: 0x00RRGGBB where a frame shows a colour, kUncovered | background elsewhere.
    const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    // The picture as a 24-bit bitmap; with `masked`, uncovered pixels are set in its mask and
    // it is flagged transparent when there is any.
    void ToBitmap(TBitmap& into, bool masked) const;

private:
    uint32_t* MutableRow(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
    void SaveArea(const TRect& area);
    void RestoreArea();

    int width_;
    int height_;
    uint32_t uncovered_;
    std::vector<uint32_t> pixels_;
    // What the last frame's disposal has to do.
    TDisposalMethod pendingDisposal_ = dmNone;
    TRect pendingArea_;
    std::vector<uint32_t> savedArea_;
};
