#include "gif/ColorReduction.h"

#include <algorithm>

#include "gif/ColorLookup.h"
#include "gif/DIBAccess.h"
#include "gif/DitherEngine.h"
#include "gif/ErrorDiffusion.h"
#include "gif/FixedPalettes.h"
#include "gif/OctreePalette.h"

namespace {

// Above this many source pixels the result is first made a 1-bit bitmap, so that it holds as
// little memory as possible while the new image is built.
constexpr long long kLargeImagePixels = 500000;
constexpr int kMaxReductionBits = 8;

// The palette of `mode`; false when the mode has none (unknown mode, or no caller palette).
bool BuildPalette(TPaletteReduction mode, TDIB& source, int reductionBits, const TPalette* callerPalette,
                  TPalette& palette) {
    const int width = source.Bitmap().Width();
    const int height = source.Bitmap().Height();
    switch (mode) {
    case prOctree: {
        const int bits = std::clamp(reductionBits, 0, kMaxReductionBits);
        palette = OctreePalette(source, width, height, 1 << bits, false);
        return true;
    }
    case prOctreePlusSystem:
        palette = OctreePalette(source, width, height, 0, true);
        return true;
    case prCallerPalette:
        if (callerPalette == nullptr) return false;
        palette = *callerPalette;
        return true;
    default:
        if (mode < prSystem20 || mode > prWebCube216) return false;
        palette = FixedPalette(mode);
        return true;
    }
}

std::unique_ptr<TColorLookup> CreateLookup(TPaletteReduction mode, const TPalette& palette) {
    switch (mode) {
    case prBlackWhite: return std::make_unique<TMonochromeLookup>();
    case prGray256: return std::make_unique<TGrayScaleLookup>();
    case prWebCube216: return std::make_unique<TNetscapeColorLookup>();
    case prOctree: return std::make_unique<TFastColorLookup>(palette);
    default: return std::make_unique<TSlowColorLookup>(palette);
    }
}

// Maps one row serpentine-wise through the engine: from its current column in its direction.
void MapRow(TDitherEngine& engine, const uint8_t* bgr, uint8_t* indices) {
    const int width = engine.Width();
    for (int x = engine.Column(); x >= 0 && x < width; x = engine.Column()) {
        const uint8_t* pixel = bgr + 3 * x;
        indices[x] = static_cast<uint8_t>(engine.MapPixel(pixel[2], pixel[1], pixel[0]).index);
    }
    engine.NextLine();
}

}  // namespace

std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap& bitmap, TPaletteReduction mode, TErrorDiffusion diffusion,
                                            int reductionBits, const TPalette* palette) {
    auto result = std::make_unique<TBitmap>();
    if (mode == prNone) {
        *result = bitmap;
        result->SetPixelFormat(pf24bit);
        return result;
    }
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (static_cast<long long>(width) * height > kLargeImagePixels) result->SetPixelFormat(pf1bit);

    TDIBReader reader(bitmap, pf24bit);
    TPalette reduced;
    if (!BuildPalette(mode, reader, reductionBits, palette, reduced)) return result;
    const std::unique_ptr<TColorLookup> lookup = CreateLookup(mode, reduced);
    if (lookup->Colors() == 0) return result;
    const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(diffusion, width, *lookup);
    if (!engine) return result;

    TDIBWriter writer(*result, pf8bit, width, height, &reduced);
    for (int row = 0; row < height; ++row) MapRow(*engine, reader.ScanLine(row), writer.ScanLine(row));
    writer.Finish();
    return result;
}
