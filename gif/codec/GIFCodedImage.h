#pragma once
// A frame's image data kept as saving writes it: the minimum code size byte, the data
// sub-blocks and the block terminator. The same pixels coded the same way give these bytes
// again, so a frame whose pixels have not changed since may write them as they are, and read
// its pixels back from them when they are wanted.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/core/GIFTypes.h"

class TGIFEncoderCache;
class TStream;
struct TLZWStrings;

// What coding a frame's pixels depends on besides the pixels themselves.
struct TGIFCoding {
    TGIFEncoding Encoding = geLZW;
    int BitsPerPixel = 8;  // of the active colour table
    int ColorLimit = 256;  // indices at or above it are not colours of the table
    bool Interlaced = false;

    bool operator==(const TGIFCoding&) const = default;
};

class TGIFCodedImage {
public:
    // Codes width x height pixel indices (rows top to bottom). An index not below the colour
    // limit fails with GIFException "Color not in color table".
    TGIFCodedImage(const uint8_t* pixels, int width, int height, const TGIFCoding& coding);
    // The same, with an encoder of `encoders`.
    TGIFCodedImage(const uint8_t* pixels, int width, int height, const TGIFCoding& coding,
                   TGIFEncoderCache& encoders);
    // The same, with the pixels' LZW strings known (see TLZWStrings): when they were found for
    // as many pixels and the coding is LZW at their code size, not interlaced, they are packed
    // as they are; else the pixels are coded.
    TGIFCodedImage(const uint8_t* pixels, int width, int height, const TGIFCoding& coding,
                   TGIFEncoderCache& encoders, const TLZWStrings& strings);

    const TGIFCoding& Coding() const { return coding_; }
    size_t Size() const { return bytes_.size(); }
    const uint8_t* Bytes() const { return bytes_.data(); }

    void WriteTo(TStream& stream) const;
    // Decodes the pixels into `pixels` (width x height bytes, rows top to bottom).
    void Decode(uint8_t* pixels, int width, int height) const;

private:
    void Code(const uint8_t* pixels, int width, int height, TGIFEncoderCache& encoders,
              const TLZWStrings* strings);

    TGIFCoding coding_;
    std::vector<uint8_t> bytes_;
};
