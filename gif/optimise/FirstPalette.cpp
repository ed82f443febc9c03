#include "gif/optimise/FirstPalette.h"

void TFirstPalette::Publish(const std::vector<TGIFColor>& palette) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (ready_) return;
        palette_ = palette;
        ready_ = true;
    }
    published_.notify_all();
}

// The palette does not change once handed over, so it is read without the lock.
const std::vector<TGIFColor>& TFirstPalette::Wait() const {
    std::unique_lock<std::mutex> lock(lock_);
    published_.wait(lock, [this] { return ready_; });
    return palette_;
}
