// Making a frame from a bitmap: colour reduction of true-colour bitmaps, the pixel indices
// and colour table, and the transparency mask.
#include <cstring>
#include <memory>

#include "gif/colour/ColorReduction.h"
#include "gif/colour/DIBAccess.h"
#include "gif/core/GIFException.h"
#include "gif/model/ColorTableOptimizer.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Bitmap.h"

namespace {

constexpr int kProgressRowStep = 32;

bool IsIndexed(TPixelFormat format) {
    return format == pf1bit || format == pf4bit || format == pf8bit;
}

// The eight most recently used (colour, index) pairs of a true-colour import. A lookup starts
// at the slot of the last hit and goes backwards; a new pair goes into the slot after it.
class TRecentColorCache {
public:
    TRecentColorCache() {
        for (Slot& slot : slots_) slot.color = kNoColor;
    }
    // The index cached for the colour, or -1.
    int Find(uint32_t color) {
        int slot = last_;
        for (int tried = 0; tried < kSlots; ++tried, slot = (slot + kSlots - 1) % kSlots) {
            if (slots_[slot].color == color) {
                last_ = slot;
                return slots_[slot].index;
            }
        }
        return -1;
    }
    void Store(uint32_t color, int index) {
        last_ = (last_ + 1) % kSlots;
        slots_[last_] = {color, index};
    }

private:
    static constexpr int kSlots = 8;
    static constexpr uint32_t kNoColor = 0xFFFFFFFF;
    struct Slot {
        uint32_t color;
        int index;
    };
    Slot slots_[kSlots];
    int last_ = 0;
};

void UnpackRow(const uint8_t* in, uint8_t* out, int width, TPixelFormat format) {
    switch (format) {
        case pf8bit:
            std::memcpy(out, in, static_cast<size_t>(width));
            break;
        case pf4bit:
            for (int x = 0; x < width; ++x)
                out[x] = (x & 1) ? (in[x >> 1] & 0x0F) : (in[x >> 1] >> 4);
            break;
        default:
            for (int x = 0; x < width; ++x) out[x] = (in[x >> 3] >> (7 - (x & 7))) & 1;
            break;
    }
}

}  // namespace

void TGIFSubImage::ImportBitmap(TBitmap& bitmap) {
    const TGIFImage* image = Image();
    const TGIFDefaults& defaults = GIFDefaults();
    ImportBitmap(bitmap, image ? TGIFImportSettings{image->ReductionMode(), image->DiffusionMode(),
                                                    image->QuantizeBits()}
                               : TGIFImportSettings{defaults.ReductionMode, defaults.DiffusionMode,
                                                    defaults.QuantizeBits});
}

void TGIFSubImage::ImportBitmap(TBitmap& bitmap, const TGIFImportSettings& settings) {
    Clear();
    if (bitmap.Empty()) return;
    SetWidth(bitmap.Width());
    SetHeight(bitmap.Height());

    const TPaletteReduction mode = settings.ReductionMode;
    const TErrorDiffusion diffusion = settings.DiffusionMode;
    const int bits = settings.QuantizeBits;
    if (pixels_.size() != static_cast<size_t>(Width()) * static_cast<size_t>(Height()))
        AllocatePixels();

    // A true-colour bitmap reduced to a palette has its indices written straight into the frame,
    // as the rows of the 8-bit bitmap ReduceBitmapColors would make; mode prNone keeps a 24-bit
    // copy. A reduction that yields nothing fails below, as an empty bitmap's rows would.
    const bool trueColor = !IsIndexed(bitmap.PixelFormat());
    std::unique_ptr<TBitmap> copy;
    TPalette colorTable;
    bool reducedIntoFrame = false;
    if (trueColor && mode == prNone)
        copy = ReduceBitmapColors(bitmap, mode, diffusion, bits, nullptr);
    else if (trueColor)
        reducedIntoFrame = ReduceBitmapColorsTo(bitmap, mode, diffusion, bits, nullptr,
                                                pixels_.data(), colorTable);

    ReportImportProgress(psStarting, 0);
    try {
        if (reducedIntoFrame)
            ImportReducedRows(colorTable);
        else if (!trueColor)
            ImportIndexedRows(bitmap);
        else if (copy && !copy->Empty())
            ImportTrueColorRows(*copy);
        else
            throw EInvalidGraphicOperation("Scan line index out of range");
        copy.reset();
        if (bitmap.Transparent()) ApplyTransparencyMask(bitmap);
    } catch (...) {
        ReportImportProgress(psEnding, 0);
        throw;
    }
    ReportImportProgress(psEnding, 100);
}

void TGIFSubImage::ImportReducedRows(const TPalette& colorTable) {
    colorMap_.ImportPalette(colorTable);
    const int height = Height();
    for (int row = 0; row < height; row += kProgressRowStep)
        ReportImportProgress(psRunning, row * 100 / height);
}

void TGIFSubImage::ReportImportProgress(TProgressStage stage, int percent) {
    TGIFImage* image = Image();
    if (!image) return;
    image->Progress(stage, percent, stage == psEnding && image->PaletteModified(), "Converting...");
}

void TGIFSubImage::ImportIndexedRows(TBitmap& source) {
    const TPixelFormat format = source.PixelFormat();
    TDIBReader reader(source, format);
    colorMap_.ImportPalette(source.Palette());
    const int width = Width();
    const int height = Height();
    for (int row = 0; row < height; ++row) {
        if (row % kProgressRowStep == 0) ReportImportProgress(psRunning, row * 100 / height);
        UnpackRow(reader.ScanLine(row), pixels_.data() + static_cast<size_t>(row) * width, width,
                  format);
    }
}

void TGIFSubImage::ImportTrueColorRows(TBitmap& source) {
    TDIBReader reader(source, pf24bit);
    TRecentColorCache cache;
    const int width = Width();
    const int height = Height();
    for (int row = 0; row < height; ++row) {
        if (row % kProgressRowStep == 0) ReportImportProgress(psRunning, row * 100 / height);
        const uint8_t* in = reader.ScanLine(row);
        uint8_t* out = pixels_.data() + static_cast<size_t>(row) * width;
        for (int x = 0; x < width; ++x, in += 3) {
            const uint32_t color = in[0] | (in[1] << 8) | (in[2] << 16);
            int index = cache.Find(color);
            if (index < 0) {
                index = colorMap_.AddUnique({in[2], in[1], in[0]});
                cache.Store(color, index);
            }
            out[x] = static_cast<uint8_t>(index);
        }
    }
}

void TGIFSubImage::ApplyTransparencyMask(const TBitmap& source) {
    OptimizeLocalColorMap(*this);
    const int count = colorMap_.Count();
    if (count == 0 || count == TGIFColorMap::MaxColors) return;
    const int transparentIndex = colorMap_.Add({0, 0, 0});
    bool used = false;
    for (int y = 0; y < Height(); ++y) {
        uint8_t* row = pixels_.data() + static_cast<size_t>(y) * Width();
        for (int x = 0; x < Width(); ++x) {
            if (!source.MaskBit(x, y)) continue;
            row[x] = static_cast<uint8_t>(transparentIndex);
            used = true;
        }
    }
    if (!used) {
        colorMap_.Delete(transparentIndex);
        return;
    }
    auto control = std::make_unique<TGIFGraphicControlExtension>(this);
    control->SetTransparent(true);
    control->SetTransparentColorIndex(transparentIndex);
    extensions_.Add(std::move(control));
}
