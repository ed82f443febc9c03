#pragma once
// TBitmap: a device-independent bitmap with the platform bitmap's interface.
//
// Rows are stored top row first, each padded to 4 bytes. 24-bit rows hold blue, green, red
// bytes; 32-bit rows blue, green, red, reserved; 15-bit rows 5-5-5 and 16-bit rows 5-6-5 words
// (little-endian, blue in the low bits); 1-, 4- and 8-bit rows hold palette indices, the
// leftmost pixel in the most significant bits of a byte. pfDevice is stored as 32 bits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Exception.h"

class TStream;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// A palette entry (red, green, blue, flags), like a logical palette's entry.
struct TPaletteEntry {
    uint8_t peRed = 0;
    uint8_t peGreen = 0;
    uint8_t peBlue = 0;
    uint8_t peFlags = 0;
    bool operator==(const TPaletteEntry& o) const {
        return peRed == o.peRed && peGreen == o.peGreen && peBlue == o.peBlue;
    }
};
using TPalette = std::vector<TPaletteEntry>;

// A colour as 0x00BBGGRR; clNone means "no colour".
using TColor = uint32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
constexpr uint8_t GetRValue(TColor c) { return c & 0xFF; }
constexpr uint8_t GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr uint8_t GetBValue(TColor c) { return (c >> 16) & 0xFF; }

// Bits per pixel of a format (pfDevice counts as 32).
int BitsPerPixel(TPixelFormat pf);
// Bytes of one row of `width` pixels at `bits` per pixel, padded to 4 bytes.
size_t BytesPerScanline(int width, int bits);

class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height, TPixelFormat pf = pf24bit);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Resizes; existing pixels are kept where they fit, new ones are 0.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    TPixelFormat PixelFormat() const { return format_; }
    // Changes the format and converts the pixels (indexed targets map to the nearest palette
    // entry of the bitmap's palette, or of a default palette when it has none that fits).
    void SetPixelFormat(TPixelFormat pf);

    // Row y (0 = top). Fails with EInvalidGraphicOperation "Scan line index out of range".
    uint8_t* ScanLine(int y);
    const uint8_t* ScanLine(int y) const;
    size_t RowBytes() const { return rowBytes_; }
    // Every pixel byte, rows back to back top first (RowBytes() each).
    const std::vector<uint8_t>& Bits() const { return bits_; }

    // The colour table of an indexed bitmap (kept when the format changes).
    const TPalette& Palette() const { return palette_; }
    void SetPalette(const TPalette& palette) { palette_ = palette; }

    // Pixel access as a colour (any format); slow, for tests and tools.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Transparency: the flag, the transparent colour (clNone = the bottom-left pixel's colour)
    // and the mask it gives (true where a pixel has the transparent colour), unless a mask was
    // set explicitly.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on) { transparent_ = on; }
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color) { transparentColor_ = color; }
    void SetMask(std::vector<bool> mask) { mask_ = std::move(mask); }
    bool MaskBit(int x, int y) const;

    // Empties the bitmap (size 0 x 0, format kept, palette dropped).
    void Clear();

    // Windows BMP files: 1, 4, 8, 16, 24 and 32 bits, bottom-up or top-down, BI_RGB and, for
    // 16 and 32 bits, BI_BITFIELDS. RLE, other bit fields and pictures without width or height
    // are refused with EInvalidGraphic "Bitmap image is not valid". Saving writes the bitmap's
    // own depth.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void LoadFromMemory(const uint8_t* data, size_t size);

private:
    void Allocate();

    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = pf24bit;
    size_t rowBytes_ = 0;
    std::vector<uint8_t> bits_;
    TPalette palette_;
    bool transparent_ = false;
    TColor transparentColor_ = clNone;
    std::vector<bool> mask_;
};
