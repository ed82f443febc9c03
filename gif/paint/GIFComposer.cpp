#include "gif/paint/GIFComposer.h"

#include <algorithm>
#include <cstring>

#include "gif/model/GIFSubImage.h"

std::array<uint32_t, 256> FrameColors(TGIFSubImage& frame) {
    std::array<uint32_t, 256> colors{};
    const TGIFColorMap& table = frame.ActiveColorMap();
    const int count = table.Count();
    if (count == 0) return colors;
    for (int i = 0; i < 256; ++i) {
        const TGIFColor& color = table.Data()[i < count ? i : 0];
        colors[static_cast<size_t>(i)] = (static_cast<uint32_t>(color.Red) << 16) |
                                         (static_cast<uint32_t>(color.Green) << 8) | color.Blue;
    }
    return colors;
}

TDisposalMethod FrameDisposal(const TGIFSubImage& frame) {
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    return control ? control->Disposal() : dmNone;
}

TGIFComposer::TGIFComposer(int width, int height, uint32_t background)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      uncovered_(kUncovered | (background & 0xFFFFFF)) {
    Reset();
}

void TGIFComposer::Reset() {
    pixels_.assign(static_cast<size_t>(width_) * height_, uncovered_);
    pendingDisposal_ = dmNone;
    savedArea_.clear();
}

void TGIFComposer::Dispose() {
    const TRect area = pendingArea_;
    switch (pendingDisposal_) {
        case dmBackground:
            for (int y = area.Top; y < area.Bottom; ++y)
                std::fill(MutableRow(y) + area.Left, MutableRow(y) + area.Right, uncovered_);
            break;
        case dmPrevious:
            RestoreArea();
            break;
        default:
            break;
    }
    pendingDisposal_ = dmNone;
    savedArea_.clear();
}

void TGIFComposer::Draw(TGIFSubImage& frame) {
    if (frame.Empty()) return Dispose();
    const std::array<uint32_t, 256> colors = FrameColors(frame);
    TGIFFramePicture picture;
    picture.Bounds = {frame.Left(), frame.Top(), frame.Left() + frame.Width(),
                      frame.Top() + frame.Height()};
    picture.Pixels = frame.PixelData();
    picture.Colors = &colors;
    picture.TransparentIndex = frame.TransparentColorIndex();
    picture.Disposal = FrameDisposal(frame);
    Draw(picture);
}

void TGIFComposer::Draw(const TGIFFramePicture& frame) {
    Dispose();
    if (frame.Bounds.Empty() || !frame.Pixels || !frame.Colors) return;
    const TRect area = IntersectRect(frame.Bounds, {0, 0, width_, height_});
    pendingDisposal_ = frame.Disposal;
    pendingArea_ = area;
    if (area.Empty()) return;
    if (pendingDisposal_ == dmPrevious) SaveArea(area);

    const std::array<uint32_t, 256>& colors = *frame.Colors;
    const int transparent = frame.TransparentIndex;
    const size_t frameWidth = static_cast<size_t>(frame.Bounds.Width());
    for (int y = area.Top; y < area.Bottom; ++y) {
        const uint8_t* in = frame.Pixels + static_cast<size_t>(y - frame.Bounds.Top) * frameWidth +
                            (area.Left - frame.Bounds.Left);
        uint32_t* out = MutableRow(y) + area.Left;
        for (int x = 0; x < area.Width(); ++x)
            if (in[x] != transparent) out[x] = colors[in[x]];
    }
}

void TGIFComposer::SaveArea(const TRect& area) {
    savedArea_.resize(static_cast<size_t>(area.Width()) * area.Height());
    for (int y = area.Top; y < area.Bottom; ++y)
        std::memcpy(savedArea_.data() + static_cast<size_t>(y - area.Top) * area.Width(),
                    Row(y) + area.Left, sizeof(uint32_t) * area.Width());
}

void TGIFComposer::RestoreArea() {
    const TRect& area = pendingArea_;
    if (savedArea_.size() != static_cast<size_t>(area.Width()) * area.Height()) return;
    for (int y = area.Top; y < area.Bottom; ++y)
        std::memcpy(MutableRow(y) + area.Left,
                    savedArea_.data() + static_cast<size_t>(y - area.Top) * area.Width(),
                    sizeof(uint32_t) * area.Width());
}

void TGIFComposer::ToBitmap(TBitmap& into, bool masked) const {
    into.SetPixelFormat(pf24bit);
    into.SetSize(width_, height_);
    std::vector<bool> mask;
    bool anyUncovered = false;
    if (masked) mask.assign(static_cast<size_t>(width_) * height_, false);
    for (int y = 0; y < height_; ++y) {
        const uint32_t* in = Row(y);
        uint8_t* out = into.ScanLine(y);
        for (int x = 0; x < width_; ++x, out += 3) {
            const uint32_t pixel = in[x];
            out[0] = static_cast<uint8_t>(pixel);
            out[1] = static_cast<uint8_t>(pixel >> 8);
            out[2] = static_cast<uint8_t>(pixel >> 16);
            if (masked && (pixel & kUncovered)) {
                mask[static_cast<size_t>(y) * width_ + x] = true;
                anyUncovered = true;
            }
        }
    }
    into.SetTransparent(anyUncovered);
    if (anyUncovered) into.SetMask(std::move(mask));
}
