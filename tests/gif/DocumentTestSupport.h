#pragma once
// Bitmaps, documents and byte helpers shared by the GIF document and stream format tests.
#include <cstdint>
#include <string>
#include <vector>

#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/Stream.h"
#include "tests/common/TestSupport.h"

namespace gifdoc {

// A 24-bit picture whose colour depends on position and `seed`: many distinct colours.
inline TBitmap Gradient(int width, int height, int seed = 0) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
            row[x * 3 + 2] = static_cast<uint8_t>((x * 7 + y * 13 + seed * 40) & 0xFF);
        }
    }
    return bitmap;
}

// A 24-bit picture using exactly `colors` distinct colours (1 to 65536), in reading order.
inline TBitmap DistinctColors(int width, int height, int colors) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int c = (y * width + x) % colors;
            row[x * 3] = static_cast<uint8_t>(c & 0xFF);
            row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[x * 3 + 2] = 7;
        }
    }
    return bitmap;
}

inline TBitmap Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, RGBColor(r, g, b));
    return bitmap;
}

// An indexed picture (pf1bit, pf4bit or pf8bit) whose pixel (x, y) has index (x + 3y) mod 2^bits.
inline TBitmap Indexed(int width, int height, TPixelFormat format) {
    const int bits = BitsPerPixel(format);
    TBitmap bitmap(width, height, format);
    TPalette palette(static_cast<size_t>(1) << bits);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i),
                      static_cast<uint8_t>(i * 11), 0};
    bitmap.SetPalette(palette);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const unsigned index = static_cast<unsigned>(x + 3 * y) % (1u << bits);
            const int bit = x * bits;
            const int shift = 8 - bits - bit % 8;
            row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~(((1 << bits) - 1) << shift)) |
                                                (index << shift));
        }
    }
    return bitmap;
}

inline std::vector<uint8_t> Save(TGIFImage& document) {
    TMemoryStream stream;
    document.SaveToStream(stream);
    return stream.Data();
}

inline void Load(TGIFImage& document, const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    document.LoadFromStream(stream);
}

// Collects the document's warnings.
inline std::vector<std::string>& CollectWarnings(TGIFImage& document,
                                                 std::vector<std::string>& into) {
    document.OnDiagnostic = [&into](TGIFObject*, int, const std::string& message) {
        into.push_back(message);
    };
    return into;
}

inline uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8));
}

// The colour of a frame's pixel through its active colour table.
inline TGIFColor FrameColor(TGIFSubImage& frame, int x, int y) {
    return frame.ActiveColorMap().Colors(frame.Pixels(x, y));
}

// The message of the exception the call raises, or "" when it raises none.
using testsupport::ErrorOf;

}  // namespace gifdoc
