#pragma once
// Colour tables of a GIF document: the global table of the header and the local table of a
// frame.
#include <cstdint>
#include <string>
#include <vector>

#include "gif/core/GIFTypes.h"
#include "platform/Bitmap.h"

class TStream;
class TGIFHeader;
class TGIFSubImage;

class TGIFColorMap {
public:
    static constexpr int MaxColors = 256;

    TGIFColorMap() = default;
    virtual ~TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    int Count() const { return static_cast<int>(colors_.size()); }
    int Capacity() const { return capacity_; }
    // Smallest b >= 1 with 2^b >= Count(); 0 for an empty table.
    int BitsPerPixel() const { return BitsPerPixelFor(Count()); }
    static int BitsPerPixelFor(int count);
    // Set by the colour table optimisation; any edit clears it.
    bool Sorted() const { return sorted_; }

    // Entry `index`; outside the table warns "Invalid color index" and gives entry 0;
    // an empty table fails with "Color table is empty".
    TGIFColor Colors(int index) const;
    void SetColors(int index, TGIFColor color);
    const TGIFColor* Data() const { return colors_.data(); }

    // Appends a colour and returns its index; fails with "Color table overflow" when full.
    int Add(TGIFColor color);
    // The index of an equal entry, else Add(color).
    int AddUnique(TGIFColor color);
    // Index of an equal entry or -1: searched last to first, or first to last when sorted.
    int IndexOf(TGIFColor color) const;
    // Fails with "Invalid color index" outside the table.
    void Delete(int index);
    void Clear();

    // Up to 256 palette entries in palette order.
    void ImportPalette(const TPalette& palette);
    // A DIB colour table: `count` quadruples of blue, green, red, reserved.
    void ImportDIBColors(const uint8_t* quads, int count);
    // A palette of Count() entries, each flagged not to be merged with other entries.
    TPalette ExportPalette() const;

    // Marks the entries as ordered by importance (a read sort flag, the optimisation).
    void MarkSorted() { sorted_ = true; }
    // Replaces every entry at once; used by the colour table optimisation.
    void Replace(std::vector<TGIFColor> colors, bool sorted);
    void Assign(const TGIFColorMap& source);

    // The entries, then black up to 2^BitsPerPixel() entries; nothing for an empty table.
    void SaveToStream(TStream& stream) const;
    // Reads `count` entries ("Premature end of data" when the stream ends early).
    void LoadFromStream(TStream& stream, int count);

protected:
    // Called after every change of the entries.
    virtual void Changed() {}
    virtual void Warning(const std::string& message) const;

private:
    void Grow(int needed);

    std::vector<TGIFColor> colors_;
    int capacity_ = 0;
    bool sorted_ = false;
};

// The header's table; a change marks the document's palette as modified.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader& header) : header_(header) {}
    TGIFHeader& Header() const { return header_; }

protected:
    void Changed() override;
    void Warning(const std::string& message) const override;

private:
    TGIFHeader& header_;
};

// A frame's own table.
class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage& subImage) : subImage_(subImage) {}
    TGIFSubImage& SubImage() const { return subImage_; }

protected:
    void Changed() override;
    void Warning(const std::string& message) const override;

private:
    TGIFSubImage& subImage_;
};
