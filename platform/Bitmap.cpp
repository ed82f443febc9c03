#include "platform/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/Stream.h"
#include "platform/SystemPalette.h"

namespace {

const char* const kScanLineRange = "Scan line index out of range";

uint8_t Expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t Expand6(unsigned v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

bool IsIndexed(TPixelFormat pf) { return pf == pf1bit || pf == pf4bit || pf == pf8bit; }

// The palette an indexed format uses when the bitmap has none that fits it.
const TPalette& DefaultPalette(TPixelFormat pf) {
    static const TPalette blackWhite = [] {
        TPalette p(2);
        p[1].peRed = p[1].peGreen = p[1].peBlue = 255;
        return p;
    }();
    if (pf == pf1bit) return blackWhite;
    if (pf == pf4bit) return VGAPalette16();
    return HalftonePalette();
}

// Reads one row of any format into blue-green-red-reserved quadruples.
void RowToBGRA(const uint8_t* row, TPixelFormat pf, int width, const TPalette& palette,
               uint8_t* out) {
    auto fromIndex = [&](unsigned index, uint8_t* px) {
        if (index < palette.size()) {
            px[0] = palette[index].peBlue;
            px[1] = palette[index].peGreen;
            px[2] = palette[index].peRed;
        } else {
            px[0] = px[1] = px[2] = 0;
        }
        px[3] = 0;
    };
    for (int x = 0; x < width; ++x) {
        uint8_t* px = out + 4 * x;
        switch (pf) {
            case pf1bit:
                fromIndex((row[x >> 3] >> (7 - (x & 7))) & 1, px);
                break;
            case pf4bit:
                fromIndex((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15, px);
                break;
            case pf8bit:
                fromIndex(row[x], px);
                break;
            case pf15bit: {
                const unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
                px[0] = Expand5(w & 31);
                px[1] = Expand5((w >> 5) & 31);
                px[2] = Expand5((w >> 10) & 31);
                px[3] = 0;
                break;
            }
            case pf16bit: {
                const unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
                px[0] = Expand5(w & 31);
                px[1] = Expand6((w >> 5) & 63);
                px[2] = Expand5((w >> 11) & 31);
                px[3] = 0;
                break;
            }
            case pf24bit:
                px[0] = row[3 * x];
                px[1] = row[3 * x + 1];
                px[2] = row[3 * x + 2];
                px[3] = 0;
                break;
            case pfDevice:
            case pf32bit:
                std::memcpy(px, row + 4 * x, 4);
                break;
        }
    }
}

// Writes one row of blue-green-red-reserved quadruples in any format.
void BGRAToRow(const uint8_t* in, TPixelFormat pf, int width, TNearestColorIndex* nearest,
               uint8_t* row) {
    auto index = [&](int x) {
        const uint8_t* px = in + 4 * x;
        return static_cast<unsigned>(nearest->Find(px[2], px[1], px[0]));
    };
    for (int x = 0; x < width; ++x) {
        const uint8_t* px = in + 4 * x;
        switch (pf) {
            case pf1bit: {
                const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
                if (index(x) & 1)
                    row[x >> 3] |= bit;
                else
                    row[x >> 3] &= static_cast<uint8_t>(~bit);
                break;
            }
            case pf4bit: {
                const unsigned i = index(x) & 15;
                uint8_t& b = row[x >> 1];
                b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | i)
                            : static_cast<uint8_t>((b & 0x0F) | (i << 4));
                break;
            }
            case pf8bit:
                row[x] = static_cast<uint8_t>(index(x));
                break;
            case pf15bit: {
                const unsigned w = (px[0] >> 3) | ((px[1] >> 3) << 5) | ((px[2] >> 3) << 10);
                row[2 * x] = static_cast<uint8_t>(w);
                row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
                break;
            }
            case pf16bit: {
                const unsigned w = (px[0] >> 3) | ((px[1] >> 2) << 5) | ((px[2] >> 3) << 11);
                row[2 * x] = static_cast<uint8_t>(w);
                row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
                break;
            }
            case pf24bit:
                row[3 * x] = px[0];
                row[3 * x + 1] = px[1];
                row[3 * x + 2] = px[2];
                break;
            case pfDevice:
            case pf32bit:
                std::memcpy(row + 4 * x, px, 4);
                break;
        }
    }
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

// One channel of a bit-field pixel, scaled to 8 bits.
uint8_t MaskedChannel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const uint64_t max = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * uint64_t{255} / max);
}

}  // namespace

int BitsPerPixel(TPixelFormat pf) {
    switch (pf) {
        case pf1bit:
            return 1;
        case pf4bit:
            return 4;
        case pf8bit:
            return 8;
        case pf15bit:
        case pf16bit:
            return 16;
        case pf24bit:
            return 24;
        case pfDevice:
        case pf32bit:
            return 32;
    }
    return 32;
}

size_t BytesPerScanline(int width, int bits) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
}

TBitmap::TBitmap(int width, int height, TPixelFormat pf) : format_(pf) { SetSize(width, height); }

void TBitmap::Allocate() {
    rowBytes_ = BytesPerScanline(width_, BitsPerPixel(format_));
    bits_.assign(rowBytes_ * static_cast<size_t>(height_), 0);
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    std::vector<uint8_t> old;
    old.swap(bits_);
    const size_t oldRow = rowBytes_;
    const int keepRows = std::min(height, height_);
    width_ = width;
    height_ = height;
    Allocate();
    const size_t keepBytes = std::min(oldRow, rowBytes_);
    for (int y = 0; y < keepRows; ++y)
        std::memcpy(bits_.data() + y * rowBytes_, old.data() + y * oldRow, keepBytes);
    mask_.clear();
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
    if (pf == format_) return;
    const TPixelFormat from = format_;
    std::vector<uint8_t> old;
    old.swap(bits_);
    const size_t oldRow = rowBytes_;
    const TPalette sourcePalette = palette_;
    format_ = pf;
    Allocate();
    if (IsIndexed(pf)) {
        // An indexed target keeps the bitmap's palette when it fits the depth.
        const size_t capacity = size_t{1} << BitsPerPixel(pf);
        if (palette_.empty() || palette_.size() > capacity) palette_ = DefaultPalette(pf);
    }
    if (Empty()) return;
    std::unique_ptr<TNearestColorIndex> nearest;
    if (IsIndexed(pf)) nearest = std::make_unique<TNearestColorIndex>(palette_);
    std::vector<uint8_t> quads(static_cast<size_t>(width_) * 4);
    for (int y = 0; y < height_; ++y) {
        RowToBGRA(old.data() + y * oldRow, from, width_, sourcePalette, quads.data());
        BGRAToRow(quads.data(), pf, width_, nearest.get(), bits_.data() + y * rowBytes_);
    }
}

uint8_t* TBitmap::ScanLine(int y) {
    if (y < 0 || y >= height_ || width_ == 0) throw EInvalidGraphicOperation(kScanLineRange);
    return bits_.data() + static_cast<size_t>(y) * rowBytes_;
}

const uint8_t* TBitmap::ScanLine(int y) const {
    if (y < 0 || y >= height_ || width_ == 0) throw EInvalidGraphicOperation(kScanLineRange);
    return bits_.data() + static_cast<size_t>(y) * rowBytes_;
}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return clNone;
    uint8_t quad[4];
    const uint8_t* row = ScanLine(y);
    // Decode only the pixel asked for: shift the row start to the pixel's byte where possible.
    uint8_t one[4] = {};
    switch (format_) {
        case pf1bit:
            one[0] = static_cast<uint8_t>(((row[x >> 3] >> (7 - (x & 7))) & 1) << 7);
            break;
        case pf4bit:
            one[0] = static_cast<uint8_t>(((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15) << 4);
            break;
        default: {
            const int bytes = BitsPerPixel(format_) / 8;
            std::memcpy(one, row + static_cast<size_t>(x) * bytes, bytes);
        }
    }
    RowToBGRA(one, format_, 1, palette_, quad);
    return RGBColor(quad[2], quad[1], quad[0]);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return;
    uint8_t* row = ScanLine(y);
    const uint8_t quad[4] = {GetBValue(color), GetGValue(color), GetRValue(color), 0};
    if (IsIndexed(format_)) {
        if (palette_.empty()) palette_ = DefaultPalette(format_);
        const int index = GetNearestPaletteIndex(palette_, quad[2], quad[1], quad[0]);
        if (format_ == pf8bit) {
            row[x] = static_cast<uint8_t>(index);
        } else if (format_ == pf4bit) {
            uint8_t& b = row[x >> 1];
            b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 15))
                        : static_cast<uint8_t>((b & 0x0F) | ((index & 15) << 4));
        } else {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
            if (index & 1)
                row[x >> 3] |= bit;
            else
                row[x >> 3] &= static_cast<uint8_t>(~bit);
        }
        return;
    }
    const int bytes = BitsPerPixel(format_) / 8;
    BGRAToRow(quad, format_, 1, nullptr, row + static_cast<size_t>(x) * bytes);
}

TColor TBitmap::TransparentColor() const {
    if (transparentColor_ != clNone) return transparentColor_;
    if (Empty()) return clBlack;
    return Pixel(0, height_ - 1);
}

bool TBitmap::MaskBit(int x, int y) const {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return false;
    if (mask_.size() == static_cast<size_t>(width_) * static_cast<size_t>(height_))
        return mask_[static_cast<size_t>(y) * width_ + x];
    return Pixel(x, y) == TransparentColor();
}

void TBitmap::Clear() {
    width_ = height_ = 0;
    rowBytes_ = 0;
    bits_.clear();
    bits_.shrink_to_fit();
    palette_.clear();
    mask_.clear();
}

void TBitmap::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, TFileStream::Mode::OpenRead);
    LoadFromStream(stream);
}

void TBitmap::SaveToFile(const std::string& fileName) const {
    TFileStream stream(fileName, TFileStream::Mode::Create);
    SaveToStream(stream);
}

void TBitmap::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    if (size < 26) InvalidBitmap();
    std::vector<uint8_t> data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), data.size());
    LoadFromMemory(data.data(), data.size());
}

void TBitmap::LoadFromMemory(const uint8_t* data, size_t size) {
    if (size < 26 || data[0] != 'B' || data[1] != 'M') InvalidBitmap();
    const uint32_t pixelOffset = Get32(data + 10);
    const uint32_t headerSize = Get32(data + 14);
    if (headerSize < 12 || 14 + static_cast<size_t>(headerSize) > size) InvalidBitmap();
    const uint8_t* info = data + 14;
    int32_t width, height;
    int bits;
    uint32_t compression = 0, colorsUsed = 0;
    size_t paletteEntrySize = 4;
    if (headerSize == 12) {  // OS/2 core header
        width = Get16(info + 4);
        height = static_cast<int16_t>(Get16(info + 6));
        bits = Get16(info + 10);
        paletteEntrySize = 3;
    } else {
        if (headerSize < 40) InvalidBitmap();
        width = static_cast<int32_t>(Get32(info + 4));
        height = static_cast<int32_t>(Get32(info + 8));
        bits = Get16(info + 14);
        compression = Get32(info + 16);
        colorsUsed = Get32(info + 32);
    }
    const bool topDown = height < 0;
    // Checked before negating: the most negative height has no positive counterpart.
    if (width <= 0 || width > 65535 || height == 0 || height < -65535 || height > 65535)
        InvalidBitmap();
    if (topDown) height = -height;
    uint32_t masks[3] = {0, 0, 0};
    // Bit fields describe 16- and 32-bit pixels only.
    if (compression == 3 && bits != 16 && bits != 32) InvalidBitmap();
    if (compression == 3) {
        const size_t at = headerSize >= 52 ? 14 + 40 : 14 + headerSize;
        if (at + 12 > size) InvalidBitmap();
        for (int i = 0; i < 3; ++i) masks[i] = Get32(data + at + 4 * i);
    } else if (compression != 0) {
        InvalidBitmap();
    }
    TPixelFormat pf;
    switch (bits) {
        case 1:
            pf = pf1bit;
            break;
        case 4:
            pf = pf4bit;
            break;
        case 8:
            pf = pf8bit;
            break;
        case 16:
            pf = (compression == 3 && masks[1] == 0x07E0) ? pf16bit : pf15bit;
            break;
        case 24:
            pf = pf24bit;
            break;
        case 32:
            pf = pf32bit;
            break;
        default:
            InvalidBitmap();
    }
    TPalette palette;
    if (bits <= 8) {
        size_t count = colorsUsed ? colorsUsed : (size_t{1} << bits);
        count = std::min<size_t>(count, size_t{1} << bits);
        const size_t at = 14 + headerSize + (compression == 3 && headerSize == 40 ? 12 : 0);
        if (at + count * paletteEntrySize > size) InvalidBitmap();
        palette.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* q = data + at + i * paletteEntrySize;
            palette[i].peBlue = q[0];
            palette[i].peGreen = q[1];
            palette[i].peRed = q[2];
        }
    }
    const size_t rowBytes = BytesPerScanline(width, bits);
    if (pixelOffset > size || rowBytes * static_cast<size_t>(height) > size - pixelOffset)
        InvalidBitmap();

    TBitmap result;
    result.format_ = pf;
    result.width_ = width;
    result.height_ = height;
    result.Allocate();
    result.palette_ = std::move(palette);
    for (int y = 0; y < height; ++y) {
        const int fileRow = topDown ? y : height - 1 - y;
        const uint8_t* src = data + pixelOffset + static_cast<size_t>(fileRow) * rowBytes;
        uint8_t* dst = result.bits_.data() + static_cast<size_t>(y) * result.rowBytes_;
        const bool customMasks =
            compression == 3 && pf != pf16bit &&
            !(bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
        if (!customMasks) {
            std::memcpy(dst, src, rowBytes);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const uint32_t px = bits == 16 ? Get16(src + 2 * x) : Get32(src + 4 * x);
            const uint8_t quad[4] = {MaskedChannel(px, masks[2]), MaskedChannel(px, masks[1]),
                                     MaskedChannel(px, masks[0]), 0};
            if (bits == 16) {
                const unsigned w = (quad[0] >> 3) | ((quad[1] >> 3) << 5) | ((quad[2] >> 3) << 10);
                dst[2 * x] = static_cast<uint8_t>(w);
                dst[2 * x + 1] = static_cast<uint8_t>(w >> 8);
            } else {
                std::memcpy(dst + 4 * x, quad, 4);
            }
        }
    }
    *this = std::move(result);
}

void TBitmap::SaveToStream(TStream& stream) const {
    const int bits = BitsPerPixel(format_);
    const bool bitfields = format_ == pf16bit;
    const size_t paletteCount = IsIndexed(format_) ? std::max<size_t>(palette_.size(), 1) : 0;
    const size_t infoSize = 40 + (bitfields ? 12 : 0) + paletteCount * 4;
    const size_t fileRow = BytesPerScanline(width_, bits);
    const size_t imageSize = fileRow * static_cast<size_t>(height_);
    std::vector<uint8_t> out;
    out.reserve(14 + infoSize + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(14 + infoSize + imageSize));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(14 + infoSize));
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width_));
    Put32(out, static_cast<uint32_t>(height_));
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(bits));
    Put32(out, bitfields ? 3 : 0);
    Put32(out, static_cast<uint32_t>(imageSize));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(paletteCount));
    Put32(out, 0);
    if (bitfields) {
        Put32(out, 0xF800);
        Put32(out, 0x07E0);
        Put32(out, 0x001F);
    }
    for (size_t i = 0; i < paletteCount; ++i) {
        const TPaletteEntry e = i < palette_.size() ? palette_[i] : TPaletteEntry{};
        out.push_back(e.peBlue);
        out.push_back(e.peGreen);
        out.push_back(e.peRed);
        out.push_back(0);
    }
    for (int y = height_ - 1; y >= 0; --y) {
        const uint8_t* row = bits_.data() + static_cast<size_t>(y) * rowBytes_;
        out.insert(out.end(), row, row + fileRow);
    }
    stream.WriteBuffer(out.data(), out.size());
}
