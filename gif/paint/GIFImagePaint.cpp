// Painting a document: the still picture, the animation painters, the composed bitmap.
#include <memory>

#include "gif/model/GIFImage.h"
#include "gif/paint/GIFComposer.h"
#include "gif/paint/GIFPainter.h"
#include "gif/paint/PictureOutput.h"
#include "platform/PaintTimer.h"

namespace {

// Clears a flag when it goes out of scope.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
};

}  // namespace

void TGIFPainterListDeleter::operator()(TGIFPainterList* list) const { delete list; }

TGIFPainterListPtr TGIFImage::NewPainterList() { return TGIFPainterListPtr(new TGIFPainterList); }

void TGIFImage::SetPlaybackSpeed(int percent) {
    playbackSpeed_ = percent;
    std::lock_guard<std::recursive_mutex> guard(painters_->Lock());
    for (TGIFPainter* painter : painters_->Painters()) painter->SetSpeed(percent);
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
    if (drawing_ || Empty()) return;
    TFlagGuard drawing(drawing_);
    painters_->FreeEnded();
    if (images_.Count() == 1 || !(paintOptions_ & poAnimate))
        DrawStill(canvas, rect);
    else
        Animate(canvas, rect);
}

void TGIFImage::DrawStill(TCanvas& canvas, const TRect& rect) {
    TPictureOutput output(*this, canvas, rect, paintOptions_);
    TGIFComposer composer(Width(), Height(), output.ScreenBackground());
    Compose(composer, StillFrame());
    output.DrawPicture(composer);
}

void TGIFImage::Animate(TCanvas& canvas, const TRect& rect) {
    std::unique_lock<std::recursive_mutex> lock(painters_->Lock());
    if (drawPainter_) {
        if (&drawPainter_->Canvas() == &canvas && drawPainter_->Rect() == rect &&
            !drawPainter_->Terminated()) {
            drawPainter_->Repaint();
            return;
        }
        drawPainter_->Stop();
        drawPainter_ = nullptr;
    }
    if (paintOptions_ & poThreaded) {
        auto painter =
            std::make_unique<TGIFPainter>(*this, canvas, rect, paintOptions_, &drawPainter_);
        drawPainter_ = painter.get();
        painters_->Add(std::move(painter));
        drawPainter_->Start();
        return;
    }
    TGIFPainter painter(*this, canvas, rect, paintOptions_, &drawPainter_);
    drawPainter_ = &painter;
    painters_->Add(&painter);
    lock.unlock();
    painter.Run();
}

void TGIFImage::StopPainting() {
    painters_->StopAll();
    painters_->FreeEnded();
}

void TGIFImage::SetPaintTimer(TPaintTimer* timer) {
    paintTimer_ = timer ? timer : &DefaultPaintTimer();
}

bool TGIFImage::DitherForDisplay() const {
    if (!(paintOptions_ & poDither)) return false;
    return !(paintOptions_ & poDitherOnLowColor) || GIFDefaults().LowColorDisplay;
}

int TGIFImage::StillFrame() const {
    return forcedFrame_ >= 0 && forcedFrame_ < images_.Count() ? forcedFrame_ : 0;
}

void TGIFImage::Compose(TGIFComposer& composer, int last) {
    for (int i = 0; i <= last && i < images_.Count(); ++i) composer.Draw(images_[i]);
}

const TBitmap& TGIFImage::Bitmap() {
    if (composed_) return *composed_;
    auto picture = std::make_unique<TBitmap>();
    if (!Empty()) {
        TGIFComposer composer(Width(), Height(), ScreenBackgroundColor(*this));
        Compose(composer, StillFrame());
        composer.ToBitmap(*picture, true);
    }
    composed_ = std::move(picture);
    return *composed_;
}
