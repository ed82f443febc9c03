#pragma once
// A surface to paint pictures on: the desktop program draws on a widget through its painter,
// tests and tools on a bitmap.
#include "platform/Bitmap.h"

// A rectangle of pixels; Right and Bottom lie just outside it.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect& other) const = default;
};

// The part both rectangles cover; an empty rectangle when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);

class TCanvas {
public:
    virtual ~TCanvas() = default;

    // Draws the `source` part of `bitmap` scaled to `dest`. Where a transparent bitmap's mask
    // is set the canvas keeps what it shows.
    virtual void Draw(const TRect& dest, const TBitmap& bitmap, const TRect& source) = 0;
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // What the canvas shows inside `rect`, as a 24-bit bitmap of the rectangle's size (black
    // outside the surface).
    virtual TBitmap CopyRect(const TRect& rect) const = 0;
    // False once the surface is gone (a closed window); painting on it then does nothing.
    virtual bool Valid() const { return true; }
};

// A canvas over a 24-bit bitmap (nearest-neighbour scaling).
class TBitmapCanvas : public TCanvas {
public:
    // The bitmap is converted to 24 bits; it must outlive the canvas.
    explicit TBitmapCanvas(TBitmap& target);

    void Draw(const TRect& dest, const TBitmap& bitmap, const TRect& source) override;
    void FillRect(const TRect& rect, TColor color) override;
    TBitmap CopyRect(const TRect& rect) const override;
    bool Valid() const override { return valid_; }
    // Makes the canvas invalid, as a closed window's would be.
    void Invalidate() { valid_ = false; }

    TBitmap& Target() const { return target_; }

private:
    TRect Bounds() const { return {0, 0, target_.Width(), target_.Height()}; }

    TBitmap& target_;
    bool valid_ = true;
};
