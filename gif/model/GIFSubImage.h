#pragma once
// A frame of a GIF document: extension blocks, image descriptor, local colour table and one
// colour index byte per pixel, or the image data coded from them.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "gif/codec/GIFCodedImage.h"
#include "gif/core/GIFTypes.h"
#include "gif/model/GIFColorMap.h"
#include "gif/model/GIFItem.h"
#include "gif/model/GIFList.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

class TGIFGraphicControlExtension;

constexpr uint8_t bsImageDescriptor = 0x2C;
constexpr uint8_t bsTrailer = 0x3B;

// The 10-byte image descriptor in file layout.
struct TImageDescriptor {
    uint8_t Separator = bsImageDescriptor;
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t PackedFields = 0;
};

// The settings a true-colour bitmap is reduced with when it becomes a frame.
struct TGIFImportSettings {
    TPaletteReduction ReductionMode;
    TErrorDiffusion DiffusionMode;
    int QuantizeBits;
};

class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* image);
    ~TGIFSubImage() override;
    void SetImage(TGIFImage* image) override;

    TGIFExtensionList& Extensions() { return extensions_; }
    const TGIFExtensionList& Extensions() const { return extensions_; }
    TGIFLocalColorMap& ColorMap() { return colorMap_; }
    const TGIFLocalColorMap& ColorMap() const { return colorMap_; }
    // The local table when it is non-empty or there is no global one, else the global table.
    TGIFColorMap& ActiveColorMap();
    const TImageDescriptor& Descriptor() const { return descriptor_; }

    int Left() const { return descriptor_.Left; }
    int Top() const { return descriptor_.Top; }
    int Width() const { return descriptor_.Width; }
    int Height() const { return descriptor_.Height; }
    // Sets the bounds: a new size replaces the pixels with a zero-filled buffer; a frame that
    // reaches past the logical screen widens it with warnings.
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
    void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
    void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
    void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
    bool Interlaced() const { return descriptor_.PackedFields & 0x40; }
    void SetInterlaced(bool on);

    // No width, no height or no pixels: such a frame writes only its extensions.
    bool Empty() const;

    // The colour indices, one byte per pixel, rows top to bottom and Width() bytes each. Every
    // read goes through PixelData or ScanLine, every write through EditPixels or EditScanLine
    // (which drop what was made from the old pixels), so the way the indices are kept stays
    // this class's business: a coded frame decodes them on the first read. Reads may run on
    // several threads at once (painters); nothing may write meanwhile.
    const uint8_t* PixelData() const {
        if (!pixelsCurrent_.load(std::memory_order_acquire)) DecodePixels();
        return pixels_.data();
    }
    uint8_t* EditPixels();
    size_t DataSize() const {
        return coded_ ? static_cast<size_t>(Width()) * static_cast<size_t>(Height())
                      : pixels_.size();
    }
    // Row `row` of the indices ("Image is empty", "Invalid pixel coordinates").
    const uint8_t* ScanLine(int row) const;
    uint8_t* EditScanLine(int row);
    uint8_t Pixels(int x, int y) const;
    void SetPixels(int x, int y, uint8_t index);
    // Keeps only `area` (in frame coordinates, inside the frame), which becomes the frame's
    // rectangle on the logical screen.
    void Crop(const TRect& area);

    // Codes the pixels as saving would (the active colour table's size, the interlacing the
    // frame is written with, `encoding`) and keeps the coded data in place of the pixels, which
    // are decoded again when something reads them. Saving writes the coded data as it is while
    // the pixels stay unchanged and the document codes them the same way. Pixels that saving
    // could not code (an index outside the colour table) stay as they are: false.
    bool CodeImage(TGIFEncoding encoding);
    // The same, with an encoder of `encoders`.
    bool CodeImage(TGIFEncoding encoding, TGIFEncoderCache& encoders);
    // The same for a frame that will join a document whose header says `documentBitsPerPixel`
    // (which a frame without a local table is coded for).
    bool CodeImage(TGIFEncoding encoding, TGIFEncoderCache& encoders, int documentBitsPerPixel);
    // The same for pixels whose LZW strings are known (see TLZWStrings).
    bool CodeImage(TGIFEncoding encoding, TGIFEncoderCache& encoders, int documentBitsPerPixel,
                   const TLZWStrings& strings);
    // The frame holds coded data (and its pixels only once something has read them).
    bool Coded() const { return coded_ != nullptr; }
    // Bytes of the coded data, 0 without.
    size_t CodedSize() const { return coded_ ? coded_->Size() : 0; }

    // The first graphic control extension, or null.
    TGIFGraphicControlExtension* GraphicControlExtension() const { return graphicControl_; }
    // The first graphic control extension with its transparent bit set, or null: any of them
    // makes the frame transparent.
    TGIFGraphicControlExtension* TransparentControl() const;
    bool Transparent() const { return TransparentControl() != nullptr; }
    // The transparent colour index, or -1 for an opaque frame.
    int TransparentColorIndex() const;

    // The frame as a bitmap, made on first use ("Rendering..." progress) and kept until the
    // pixels, the colours or the transparency change: an 8-bit bitmap with the active colour
    // table, or one dithered to the web colour cube when the document paints dithered. A
    // transparent frame's bitmap is flagged transparent, its mask set on the transparent
    // pixels. A failure leaves the frame without a bitmap.
    const TBitmap& Bitmap();
    bool HasBitmap() const { return bitmap_ != nullptr; }
    void FreeBitmap();
    // The active colour table as a palette (kept until the table changes).
    const TPalette& Palette();

    // Told by the frame's colour tables and graphic control extensions.
    void ColorMapChanged();
    void TransparencyChanged() { FreeBitmap(); }

    // 2 when the local table is sorted or the frame has extensions, else 1.
    int Version() const override;
    void SaveToStream(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;
    // Removes extensions, colour table, pixels and size.
    void Clear();
    void Assign(const TGIFSubImage& source);
    // Makes the frame from a bitmap: indexed bitmaps keep their colours, true-colour ones are
    // reduced with the document's settings.
    void ImportBitmap(TBitmap& bitmap);
    // The same with the given settings; a frame outside any document can be made so on any
    // thread, and joins a document with TGIFImage::AddImported.
    void ImportBitmap(TBitmap& bitmap, const TGIFImportSettings& settings);
    // For a frame imported away from its document: grows the logical screen to cover it as the
    // import's bounds setting would have (the width, then the height, with the same warnings).
    void GrowLogicalScreenAsImported();

private:
    friend class TGIFExtensionList;
    void ExtensionAdded(TGIFExtension& extension);
    void ExtensionRemoved(TGIFExtension& extension);

    void AllocatePixels();
    // Pixels given to the frame in place of what it held.
    void ReplacePixels(std::vector<uint8_t> pixels);
    void DecodePixels() const;
    // How saving codes the pixels with `encoding`; a frame without a local colour table is
    // coded for `documentBitsPerPixel`.
    TGIFCoding CodingFor(TGIFEncoding encoding, int documentBitsPerPixel) const;
    bool CodeImageWith(TGIFEncoding encoding, TGIFEncoderCache& encoders, int documentBitsPerPixel,
                       const TLZWStrings* strings);
    // "Image is empty" without pixels, "Invalid pixel coordinates" outside the frame.
    void CheckCoordinates(int x, int y) const;
    // Grows the logical screen to reach `right` and `bottom`, with warnings when it had a size.
    void GrowLogicalScreen(int right, int bottom);
    void PrepareDescriptor();
    void WriteImage(TStream& stream);
    void ReadImage(TStream& stream);

    void RenderBitmap(TBitmap& bitmap, bool dithered);
    void ReportRenderProgress(TProgressStage stage, int percent);

    void ImportIndexedRows(TBitmap& bitmap);
    // The colour table of indices a reduction wrote into the frame, and the progress of rows.
    void ImportReducedRows(const TPalette& colorTable);
    void ImportTrueColorRows(TBitmap& reduced);
    void ApplyTransparencyMask(const TBitmap& source);
    void ReportImportProgress(TProgressStage stage, int percent);

    TGIFExtensionList extensions_;
    TGIFLocalColorMap colorMap_;
    TImageDescriptor descriptor_;
    // The pixels, unless pixelsCurrent_ is false: then they are still coded only.
    mutable std::vector<uint8_t> pixels_;
    mutable std::atomic<bool> pixelsCurrent_{true};
    mutable std::mutex decodeLock_;
    // Coded from the pixels as they are; shared by copies of the frame.
    std::shared_ptr<const TGIFCodedImage> coded_;
    TGIFGraphicControlExtension* graphicControl_ = nullptr;
    std::unique_ptr<TBitmap> bitmap_;
    bool bitmapDithered_ = false;
    TPalette palette_;
    bool paletteValid_ = false;
};
