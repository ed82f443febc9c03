#include "engine/decoder/Previewer.h"

#include <mutex>
#include <utility>

#include "engine/core/FFUtils.h"
#include "engine/decoder/HeadlessPreviewWindow.h"
#include "platform/Bitmap.h"
#include "platform/MainThread.h"

namespace {

std::mutex factoryLock;
TPreviewWindowFactory installedFactory;

}  // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory factory) {
    std::lock_guard<std::mutex> guard(factoryLock);
    installedFactory = std::move(factory);
}

TPreviewWindowFactory PreviewWindowFactory() {
    std::lock_guard<std::mutex> guard(factoryLock);
    if (installedFactory) return installedFactory;
    return [] { return std::make_unique<THeadlessPreviewWindow>(); };
}

TPreviewer::TPreviewer() : TPreviewer(PreviewWindowFactory()) {}

TPreviewer::TPreviewer(TPreviewWindowFactory factory) : factory_(std::move(factory)) {}

TPreviewer::~TPreviewer() {
    if (window_) {
        Synchronize([this] { window_.reset(); });
    }
}

bool TPreviewer::Show(const TBitmap& bitmap, int64_t /*frameNumber*/, int64_t frameTime) {
    if (closed_) return false;
    bitmap_ = &bitmap;
    frameTime_ = frameTime;
    Synchronize([this] { Paint(); });
    return !closed_;
}

void TPreviewer::Paint() {
    if (!window_) {
        window_ = factory_();
        if (!window_) {
            // No window can be had: the preview ends as if the user had closed it.
            closed_ = true;
            return;
        }
        window_->OnUserClose = [this] { closed_ = true; };
        window_->Open(bitmap_->Width(), bitmap_->Height());
    }
    window_->SetCaption(FormatTimestamp(frameTime_));
    window_->Paint(*bitmap_);
}
