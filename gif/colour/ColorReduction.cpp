#include "gif/colour/ColorReduction.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "gif/colour/ColorLookup.h"
#include "gif/colour/DIBAccess.h"
#include "gif/colour/FixedPalettes.h"
#include "gif/colour/OctreePalette.h"
#include "gif/colour/dither/DitherEngine.h"
#include "gif/colour/dither/ErrorDiffusion.h"

namespace {

// Above this many source pixels the result is first made a 1-bit bitmap, so that it holds as
// little memory as possible while the new image is built.
constexpr long long kLargeImagePixels = 500000;
constexpr int kMaxReductionBits = 8;
// Entries of the colour table of a reduced image: the palette first, the rest black.
constexpr size_t kColorTableEntries = 256;

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

namespace {

// Reduces the rows of a 24-bit reader into the rows `rowOf(row)` gives, after calling `start()`
// once the palette, lookup and engine are ready; fills `palette`. False when the mode has no
// palette, no usable lookup or no engine for the diffusion.
template <class Start, class RowOf>
bool ReduceRows(TDIBReader& reader, TPaletteReduction mode, TErrorDiffusion diffusion,
                int reductionBits, const TPalette* callerPalette, TPalette& palette, Start start,
                RowOf rowOf) {
    const int width = reader.Bitmap().Width();
    const int height = reader.Bitmap().Height();
    if (!BuildPalette(mode, reader, reductionBits, callerPalette, palette)) return false;
    const TLookupChoice choice = CreateLookup(mode, palette);
    TColorLookup& lookup = *choice.lookup;
    if (lookup.Colors() == 0) return false;
    const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(diffusion, width, lookup);
    if (!engine) return false;
    const TRowMapper mapRow = diffusion == edNearest ? choice.nearestRows : &MapRow;
    start();
    for (int row = 0; row < height; ++row)
        mapRow(*engine, lookup, reader.ScanLine(row), rowOf(row));
    return true;
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
    std::optional<TDIBWriter> writer;
    const bool done = ReduceRows(
        reader, mode, diffusion, reductionBits, palette, reduced,
        [&] { writer.emplace(*result, pf8bit, width, height, &reduced); },
        [&](int row) { return writer->ScanLine(row); });
    if (done) writer->Finish();
    return result;
}

bool ReduceBitmapColorsTo(TBitmap& bitmap, TPaletteReduction mode, TErrorDiffusion diffusion,
                          int reductionBits, const TPalette* palette, uint8_t* indices,
                          TPalette& colorTable) {
    if (mode == prNone || bitmap.Empty()) return false;
    TDIBReader reader(bitmap, pf24bit);
    TPalette reduced;
    const size_t width = static_cast<size_t>(bitmap.Width());
    if (!ReduceRows(
            reader, mode, diffusion, reductionBits, palette, reduced, [] {},
            [&](int row) { return indices + static_cast<size_t>(row) * width; }))
        return false;
    colorTable.assign(kColorTableEntries, TPaletteEntry{});
    std::copy_n(reduced.begin(), std::min(reduced.size(), kColorTableEntries), colorTable.begin());
    return true;
}
