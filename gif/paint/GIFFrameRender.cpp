// Making a bitmap of a frame for painting: its indices with the active colour table, or dithered
// to the web colour cube, with a mask on the transparent pixels.
#include <cstring>
#include <memory>

#include "gif/colour/ColorReduction.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Bitmap.h"

namespace {

constexpr int kProgressRowStep = 32;

// The palette entries of a table for indices 0 to 255: indices past the table's end read its
// first entry (as the table itself answers them); an empty table gives black.
TPalette FullPalette(const TGIFColorMap& table) {
    TPalette palette(TGIFColorMap::MaxColors);
    const int count = table.Count();
    for (int i = 0; i < TGIFColorMap::MaxColors; ++i) {
        if (count == 0) break;
        const TGIFColor color = table.Data()[i < count ? i : 0];
        palette[static_cast<size_t>(i)] = {color.Red, color.Green, color.Blue, 0};
    }
    return palette;
}

}  // namespace

const TBitmap& TGIFSubImage::Bitmap() {
    const TGIFImage* image = Image();
    const bool dithered = image && image->DitherForDisplay();
    if (bitmap_ && bitmapDithered_ == dithered) return *bitmap_;
    FreeBitmap();
    auto bitmap = std::make_unique<TBitmap>();
    ReportRenderProgress(psStarting, 0);
    try {
        RenderBitmap(*bitmap, dithered);
    } catch (...) {
        ReportRenderProgress(psEnding, 0);
        throw;
    }
    bitmap_ = std::move(bitmap);
    bitmapDithered_ = dithered;
    ReportRenderProgress(psEnding, 100);
    return *bitmap_;
}

void TGIFSubImage::FreeBitmap() { bitmap_.reset(); }

const TPalette& TGIFSubImage::Palette() {
    if (!paletteValid_) {
        palette_ = ActiveColorMap().ExportPalette();
        paletteValid_ = true;
    }
    return palette_;
}

void TGIFSubImage::ReportRenderProgress(TProgressStage stage, int percent) {
    if (TGIFImage* image = Image()) image->Progress(stage, percent, false, "Rendering...");
}

void TGIFSubImage::RenderBitmap(TBitmap& bitmap, bool dithered) {
    if (Empty()) return;
    const int width = Width();
    const int height = Height();
    const TGIFColorMap& table = ActiveColorMap();
    const TPalette palette = FullPalette(table);
    bool outsideTable = false;
    bitmap.SetPixelFormat(dithered ? pf24bit : pf8bit);
    bitmap.SetSize(width, height);
    if (!dithered) bitmap.SetPalette(palette);
    for (int row = 0; row < height; ++row) {
        if (row % kProgressRowStep == 0) ReportRenderProgress(psRunning, row * 100 / height);
        const uint8_t* in = ScanLine(row);
        uint8_t* out = bitmap.ScanLine(row);
        for (int x = 0; x < width; ++x) outsideTable |= in[x] >= table.Count();
        if (!dithered) {
            std::memcpy(out, in, static_cast<size_t>(width));
            continue;
        }
        for (int x = 0; x < width; ++x, out += 3) {
            const TPaletteEntry& entry = palette[in[x]];
            out[0] = entry.peBlue;
            out[1] = entry.peGreen;
            out[2] = entry.peRed;
        }
    }
    if (outsideTable && table.Count() > 0) Warning("Invalid color index");
    if (dithered) bitmap = *ReduceBitmapColors(bitmap, prWebCube216, edFloydSteinberg, 8, nullptr);

    const int transparent = TransparentColorIndex();
    if (transparent < 0) return;
    std::vector<bool> mask(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const uint8_t* in = ScanLine(row);
        for (int x = 0; x < width; ++x)
            mask[static_cast<size_t>(row) * width + x] = in[x] == transparent;
    }
    bitmap.SetMask(std::move(mask));
    bitmap.SetTransparent(true);
}
