#include "gif/colour/FixedPalettes.h"

#include <initializer_list>

#include "platform/SystemPalette.h"

namespace {

TPaletteEntry Grey(int level) {
    TPaletteEntry e;
    e.peRed = e.peGreen = e.peBlue = static_cast<uint8_t>(level);
    return e;
}

TPalette Greys(std::initializer_list<int> levels) {
    TPalette palette;
    for (int level : levels) palette.push_back(Grey(level));
    return palette;
}

}  // namespace

TPalette Gray4Palette() { return Greys({0, 128, 192, 255}); }

TPalette BlackWhitePalette() { return Greys({0, 255}); }

TPalette Gray256Palette() {
    TPalette palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = Grey(i);
    return palette;
}

TPalette WebCube216Palette() {
    TPalette palette;
    palette.reserve(216);
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            for (int k = 0; k < 6; ++k) {
                TPaletteEntry e;
                e.peRed = static_cast<uint8_t>(51 * i);
                e.peGreen = static_cast<uint8_t>(51 * j);
                e.peBlue = static_cast<uint8_t>(51 * k);
                palette.push_back(e);
            }
    return palette;
}

TPalette FixedPalette(TPaletteReduction mode) {
    switch (mode) {
        case prSystem20:
            return SystemPalette20();
        case prHalftone256:
            return HalftonePalette();
        case prGray4:
            return Gray4Palette();
        case prBlackWhite:
            return BlackWhitePalette();
        case prGray256:
            return Gray256Palette();
        case prWebCube216:
            return WebCube216Palette();
        default:
            return {};
    }
}
