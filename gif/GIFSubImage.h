#pragma once
// A frame of a GIF document: extension blocks, image descriptor, local colour table and one
// colour index byte per pixel.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/GIFColorMap.h"
#include "gif/GIFItem.h"
#include "gif/GIFList.h"
#include "gif/GIFTypes.h"

class TBitmap;
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
    uint8_t* Data() { return pixels_.data(); }
    const uint8_t* Data() const { return pixels_.data(); }
    size_t DataSize() const { return pixels_.size(); }
    // Row `row` of the pixels ("Image is empty", "Invalid pixel coordinates").
    uint8_t* ScanLine(int row);
    uint8_t Pixels(int x, int y) const;
    void SetPixels(int x, int y, uint8_t index);

    // The first graphic control extension, or null.
    TGIFGraphicControlExtension* GraphicControlExtension() const { return graphicControl_; }
    bool Transparent() const;

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

private:
    friend class TGIFExtensionList;
    void ExtensionAdded(TGIFExtension& extension);
    void ExtensionRemoved(TGIFExtension& extension);

    void AllocatePixels();
    void GrowLogicalScreen();
    void PrepareDescriptor();
    void WriteImage(TStream& stream);
    void ReadImage(TStream& stream);

    void ImportIndexedRows(TBitmap& bitmap);
    // The colour table of indices a reduction wrote into the frame, and the progress of rows.
    void ImportReducedRows(const TPalette& colorTable);
    void ImportTrueColorRows(TBitmap& reduced);
    void ApplyTransparencyMask(const TBitmap& source);
    void ReportImportProgress(TProgressStage stage, int percent);

    TGIFExtensionList extensions_;
    TGIFLocalColorMap colorMap_;
    TImageDescriptor descriptor_;
    std::vector<uint8_t> pixels_;
    TGIFGraphicControlExtension* graphicControl_ = nullptr;
};
