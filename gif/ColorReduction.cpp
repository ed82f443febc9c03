#include "gif/ColorReduction.h"

#include <algorithm>
#include <utility>

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
bool BuildPalette(TPaletteReduction mode, TDIB& source, int reductionBits,
                  const TPalette* callerPalette, TPalette& palette) {
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

// Maps one row serpentine-wise through the engine: from its current column in its direction.
void MapRow(TDitherEngine& engine, TColorLookup& /*lookup*/, const uint8_t* bgr, uint8_t* indices) {
    const int width = engine.Width();
    for (int x = engine.Column(); x >= 0 && x < width; x = engine.Column()) {
        const uint8_t* pixel = bgr + 3 * x;
        indices[x] = static_cast<uint8_t>(engine.MapPixel(pixel[2], pixel[1], pixel[0]).index);
    }
    engine.NextLine();
}

// The same for the plain engine, which looks every colour up unchanged: the lookup's type is
// known here, so no call per pixel goes through a virtual table. The walk and the engine's
// state after the row are the same as above (the order matters to the fast lookup's cache).
template <class Lookup>
void MapRowNearest(TDitherEngine& engine, TColorLookup& lookup, const uint8_t* bgr,
                   uint8_t* indices) {
    Lookup& exact = static_cast<Lookup&>(lookup);
    const int width = engine.Width();
    const int step = engine.Direction();
    for (int x = engine.Column(); x >= 0 && x < width; x += step) {
        const uint8_t* pixel = bgr + 3 * x;
        indices[x] =
            static_cast<uint8_t>(exact.Lookup::FindIndex(pixel[2], pixel[1], pixel[0]).index);
    }
    engine.NextLine();
}

// The exact nearest lookup answers a colour the same whatever was asked before, so its rows
// are mapped whole, left to right.
template <>
void MapRowNearest<TSlowColorLookup>(TDitherEngine& engine, TColorLookup& lookup,
                                     const uint8_t* bgr, uint8_t* indices) {
    static_cast<TSlowColorLookup&>(lookup).FindRow(bgr, engine.Width(), indices);
    engine.NextLine();
}

using TRowMapper = void (*)(TDitherEngine&, TColorLookup&, const uint8_t*, uint8_t*);

// A mode's lookup, with the row mapper of the plain engine for it.
struct TLookupChoice {
    std::unique_ptr<TColorLookup> lookup;
    TRowMapper nearestRows;
};

template <class Lookup, class... Args>
TLookupChoice Choose(Args&&... args) {
    return {std::make_unique<Lookup>(std::forward<Args>(args)...), &MapRowNearest<Lookup>};
}

TLookupChoice CreateLookup(TPaletteReduction mode, const TPalette& palette) {
    switch (mode) {
        case prBlackWhite:
            return Choose<TMonochromeLookup>();
        case prGray256:
            return Choose<TGrayScaleLookup>();
        case prWebCube216:
            return Choose<TNetscapeColorLookup>();
        case prOctree:
            return Choose<TFastColorLookup>(palette);
        default:
            return Choose<TSlowColorLookup>(palette);
    }
}

}  // namespace

std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap& bitmap, TPaletteReduction mode,
                                            TErrorDiffusion diffusion, int reductionBits,
                                            const TPalette* palette) {
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
    const TLookupChoice choice = CreateLookup(mode, reduced);
    TColorLookup& lookup = *choice.lookup;
    if (lookup.Colors() == 0) return result;
    const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(diffusion, width, lookup);
    if (!engine) return result;
    const TRowMapper mapRow = diffusion == edNearest ? choice.nearestRows : &MapRow;

    TDIBWriter writer(*result, pf8bit, width, height, &reduced);
    for (int row = 0; row < height; ++row)
        mapRow(*engine, lookup, reader.ScanLine(row), writer.ScanLine(row));
    writer.Finish();
    return result;
}
