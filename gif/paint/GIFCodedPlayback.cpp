#include "gif/paint/GIFCodedPlayback.h"

TGIFCodedPlayback::TGIFCodedPlayback(const TGIFCodedAnimation& animation)
    : animation_(animation), composer_(animation.Width(), animation.Height()) {}

bool TGIFCodedPlayback::Next() {
    if (shown_ + 1 >= animation_.FrameCount() && !StartNextPass()) return false;
    const int index = ++shown_;
    const TGIFCodedFrame& frame = animation_.Frame(index);
    const std::array<uint32_t, 256> colors = animation_.FrameColors(index);
    animation_.DecodeFrame(index, pixels_);
    TGIFFramePicture picture;
    picture.Bounds = frame.Bounds;
    picture.Pixels = pixels_.data();
    picture.Colors = &colors;
    picture.TransparentIndex = frame.TransparentIndex;
    picture.Disposal = frame.Disposal;
    composer_.Draw(picture);
    return true;
}

// A pass begins on the empty screen. The looping extension counts the passes after the first;
// without one the animation plays once.
bool TGIFCodedPlayback::StartNextPass() {
    if (shown_ >= 0) {
        ++passes_;
        const int loops = animation_.LoopCount();
        if (loops < 0 || (loops > 0 && passes_ > loops)) return false;
    }
    composer_.Reset();
    shown_ = -1;
    return true;
}

int TGIFCodedPlayback::DelayMs() const {
    if (shown_ < 0) return 0;
    const int delay = animation_.Frame(shown_).Delay;
    return delay <= 1 ? kDefaultDelayMs : delay * 10;
}

size_t TGIFCodedPlayback::HeldBytes() const {
    return static_cast<size_t>(composer_.Width()) * composer_.Height() * sizeof(uint32_t) +
           pixels_.capacity();
}
