#pragma once
// TPreviewer: the small window in which a conversion task shows its output frames.
//
// Show is called on the task's thread; the window work runs on the main thread while the task
// waits. Once the user has closed the window, Show returns false and paints nothing more.
#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/decoder/PreviewWindow.h"

class TBitmap;

class TPreviewer {
public:
    // Uses the factory installed with SetPreviewWindowFactory.
    TPreviewer();
    explicit TPreviewer(TPreviewWindowFactory factory);
    // Removes the window (on the main thread).
    ~TPreviewer();
    TPreviewer(const TPreviewer&) = delete;
    TPreviewer& operator=(const TPreviewer&) = delete;

    // Paints `bitmap` with the frame time (microseconds, INT64_MIN for none) as the caption,
    // making the window on first use. False, without painting, once the user closed the window
    // (or when no window could be made).
    bool Show(const TBitmap& bitmap, int64_t frameNumber, int64_t frameTime);
    bool Closed() const { return closed_; }

private:
    void Paint();

    TPreviewWindowFactory factory_;
    std::unique_ptr<TPreviewWindow> window_;
    std::atomic<bool> closed_{false};
    const TBitmap* bitmap_ = nullptr;
    int64_t frameTime_ = 0;
};
