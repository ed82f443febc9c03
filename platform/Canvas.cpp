#include "platform/Canvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Row `y` of any bitmap as blue-green-red bytes.
void ReadRowBGR(const TBitmap& bitmap, int y, std::vector<uint8_t>& bgr) {
    const int width = bitmap.Width();
    bgr.resize(static_cast<size_t>(width) * 3);
    const uint8_t* row = bitmap.ScanLine(y);
    if (bitmap.PixelFormat() == pf24bit) {
        std::memcpy(bgr.data(), row, bgr.size());
        return;
    }
    if (bitmap.PixelFormat() == pf8bit) {
        const TPalette& palette = bitmap.Palette();
        for (int x = 0; x < width; ++x) {
            uint8_t* out = bgr.data() + 3 * x;
            if (row[x] < palette.size()) {
                const TPaletteEntry& entry = palette[row[x]];
                out[0] = entry.peBlue;
                out[1] = entry.peGreen;
                out[2] = entry.peRed;
            } else {
                out[0] = out[1] = out[2] = 0;
            }
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const TColor color = bitmap.Pixel(x, y);
        uint8_t* out = bgr.data() + 3 * x;
        out[0] = GetBValue(color);
        out[1] = GetGValue(color);
        out[2] = GetRValue(color);
    }
}

}  // namespace

TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (r.Empty()) return {};
    return r;
}

TBitmapCanvas::TBitmapCanvas(TBitmap& target) : target_(target) { target_.SetPixelFormat(pf24bit); }

void TBitmapCanvas::Draw(const TRect& dest, const TBitmap& bitmap, const TRect& source) {
    if (!valid_ || dest.Empty() || source.Empty() || bitmap.Empty()) return;
    const TRect clipped = IntersectRect(dest, Bounds());
    if (clipped.Empty()) return;
    const bool masked = bitmap.Transparent();
    std::vector<uint8_t> bgr;
    int loadedRow = -1;
    for (int y = clipped.Top; y < clipped.Bottom; ++y) {
        const int sy = source.Top + static_cast<int>(static_cast<int64_t>(y - dest.Top) *
                                                     source.Height() / dest.Height());
        if (sy < 0 || sy >= bitmap.Height()) continue;
        if (sy != loadedRow) {
            ReadRowBGR(bitmap, sy, bgr);
            loadedRow = sy;
        }
        uint8_t* out = target_.ScanLine(y);
        for (int x = clipped.Left; x < clipped.Right; ++x) {
            const int sx = source.Left + static_cast<int>(static_cast<int64_t>(x - dest.Left) *
                                                          source.Width() / dest.Width());
            if (sx < 0 || sx >= bitmap.Width()) continue;
            if (masked && bitmap.MaskBit(sx, sy)) continue;
            std::memcpy(out + 3 * x, bgr.data() + 3 * sx, 3);
        }
    }
}

void TBitmapCanvas::FillRect(const TRect& rect, TColor color) {
    if (!valid_) return;
    const TRect clipped = IntersectRect(rect, Bounds());
    const uint8_t pixel[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
    for (int y = clipped.Top; y < clipped.Bottom; ++y) {
        uint8_t* out = target_.ScanLine(y);
        for (int x = clipped.Left; x < clipped.Right; ++x) std::memcpy(out + 3 * x, pixel, 3);
    }
}

TBitmap TBitmapCanvas::CopyRect(const TRect& rect) const {
    TBitmap copy(std::max(rect.Width(), 0), std::max(rect.Height(), 0), pf24bit);
    const TRect clipped = IntersectRect(rect, Bounds());
    for (int y = clipped.Top; y < clipped.Bottom; ++y)
        std::memcpy(copy.ScanLine(y - rect.Top) + 3 * (clipped.Left - rect.Left),
                    target_.ScanLine(y) + 3 * clipped.Left,
                    static_cast<size_t>(clipped.Width()) * 3);
    return copy;
}
