#pragma once
// The header of a GIF document: signature, logical screen descriptor and global colour table.
#include <cstdint>
#include <string>

#include "gif/model/GIFColorMap.h"
#include "gif/model/GIFItem.h"

// The 7-byte logical screen descriptor in file layout.
struct TLogicalScreenDescriptor {
    uint16_t ScreenWidth = 0;
    uint16_t ScreenHeight = 0;
    uint8_t PackedFields = 0;
    uint8_t BackgroundColorIndex = 0;
    uint8_t AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* image);

    TGIFGlobalColorMap& ColorMap() { return colorMap_; }
    const TGIFGlobalColorMap& ColorMap() const { return colorMap_; }
    const TLogicalScreenDescriptor& Descriptor() const { return descriptor_; }

    int Width() const { return descriptor_.ScreenWidth; }
    int Height() const { return descriptor_.ScreenHeight; }
    void SetWidth(int width) { descriptor_.ScreenWidth = static_cast<uint16_t>(width); }
    void SetHeight(int height) { descriptor_.ScreenHeight = static_cast<uint16_t>(height); }
    uint8_t PackedFields() const { return descriptor_.PackedFields; }
    uint8_t BackgroundColorIndex() const { return descriptor_.BackgroundColorIndex; }
    void SetBackgroundColorIndex(uint8_t index) { descriptor_.BackgroundColorIndex = index; }
    uint8_t AspectRatio() const { return descriptor_.AspectRatio; }
    void SetAspectRatio(uint8_t ratio) { descriptor_.AspectRatio = ratio; }
    // Colour resolution and bits per pixel as the packed flags hold them (1..8).
    int ColorResolution() const { return ((descriptor_.PackedFields >> 4) & 0x07) + 1; }
    int BitsPerPixel() const { return (descriptor_.PackedFields & 0x07) + 1; }
    // The version characters of the signature last read ("87a", "89a", ...); empty before.
    const std::string& SignatureVersion() const { return signatureVersion_; }

    // 2 when the global table is sorted or the aspect ratio is set, else 1.
    int Version() const override;
    // Recomputes the packed flags from the global table and the frames' local tables.
    void Prepare();
    // The same from the global table and `framesBitsPerPixel`, the largest local table of
    // frames the document may no longer hold. The colour resolution is the largest of all
    // tables.
    void Prepare(int framesBitsPerPixel);
    // The bits per pixel Prepare gives the packed flags: those of the global table, which is
    // written at that size; without one, the largest of the frames' tables (1..8). Frames
    // without a table of their own are coded for this many bits.
    int PreparedBitsPerPixel() const;
    // Writes the signature (with the document's version), the descriptor and the global table.
    void SaveToStream(TStream& stream) override;
    // The same with the version given (1 = "87a", 2 = "89a").
    void SaveToStream(TStream& stream, int version);
    void LoadFromStream(TStream& stream) override;
    // Empties the global table and sets the screen size to 0.
    void Clear();
    void Assign(const TGIFHeader& source);

private:
    void ReadSignature(TStream& stream);

    TGIFGlobalColorMap colorMap_;
    TLogicalScreenDescriptor descriptor_;
    std::string signatureVersion_;
};
