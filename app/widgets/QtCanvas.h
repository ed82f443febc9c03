#pragma once
// TQtCanvas: a canvas over a picture in memory, painted with QPainter. Whoever shows the picture
// (the preview window) is told after every change through OnChanged.
#include <QImage>
#include <QSize>
#include <functional>

#include "platform/Canvas.h"

class TQtCanvas : public TCanvas {
public:
    // A black picture of `size`.
    explicit TQtCanvas(const QSize& size);

    void Draw(const TRect& dest, const TBitmap& bitmap, const TRect& source) override;
    void FillRect(const TRect& rect, TColor color) override;
    TBitmap CopyRect(const TRect& rect) const override;
    bool Valid() const override { return valid_; }
    // The surface is gone: nothing is painted any more.
    void Invalidate() { valid_ = false; }

    const QImage& Picture() const { return picture_; }

    std::function<void()> OnChanged;

private:
    void Changed();

    QImage picture_;
    bool valid_ = true;
};
