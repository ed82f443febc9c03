#pragma once
// TGIFCodedPlayback: the pictures of a coded animation one after another, as a viewer shows
// them: each frame decoded when its turn comes and drawn over what the frames before it left,
// passes repeated as the looping extension says. It holds the logical screen's picture and one
// frame's pixels, never the frames decoded before.
#include <cstdint>
#include <vector>

#include "gif/model/GIFCodedAnimation.h"
#include "gif/paint/GIFComposer.h"

class TGIFCodedPlayback {
public:
    // A frame without a delay, or with one of a hundredth of a second, shows this long (as
    // viewers show it).
    static constexpr int kDefaultDelayMs = 100;

    // Plays `animation`, which outlives it; uncovered pixels show black.
    explicit TGIFCodedPlayback(const TGIFCodedAnimation& animation);

    // Draws the next frame; false, with the picture left as it is, once the last pass has
    // ended (never for an animation that loops for ever).
    bool Next();
    // The frame drawn last (-1 before the first) and how long it shows.
    int FrameIndex() const { return shown_; }
    int DelayMs() const;
    // The picture: rows of 0x00RRGGBB (with TGIFComposer::kUncovered where no frame shows).
    const TGIFComposer& Picture() const { return composer_; }
    // The memory it holds besides the animation.
    size_t HeldBytes() const;

private:
    bool StartNextPass();

    const TGIFCodedAnimation& animation_;
    TGIFComposer composer_;
    std::vector<uint8_t> pixels_;
    int shown_ = -1;
    int passes_ = 0;
};
