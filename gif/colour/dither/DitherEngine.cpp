#include "gif/colour/dither/DitherEngine.h"

TColorMatch TDitherEngine::MapPixel(uint8_t red, uint8_t green, uint8_t blue) {
    column_ += direction_;
    return lookup_.FindIndex(red, green, blue);
}

void TDitherEngine::NextLine() {
    direction_ = -direction_;
    column_ = direction_ > 0 ? 0 : width_ - 1;
}
