#include "gif/codec/GIFCodedImage.h"

#include "gif/codec/GIFDecoder.h"
#include "gif/codec/GIFEncoderCache.h"
#include "gif/codec/LZWEncoder.h"
#include "platform/Stream.h"

TGIFCodedImage::TGIFCodedImage(const uint8_t* pixels, int width, int height,
                               const TGIFCoding& coding)
    : coding_(coding) {
    TGIFEncoderCache encoders;
    Code(pixels, width, height, encoders, nullptr);
}

TGIFCodedImage::TGIFCodedImage(const uint8_t* pixels, int width, int height,
                               const TGIFCoding& coding, TGIFEncoderCache& encoders)
    : coding_(coding) {
    Code(pixels, width, height, encoders, nullptr);
}

TGIFCodedImage::TGIFCodedImage(const uint8_t* pixels, int width, int height,
                               const TGIFCoding& coding, TGIFEncoderCache& encoders,
                               const TLZWStrings& strings)
    : coding_(coding) {
    Code(pixels, width, height, encoders, &strings);
}

void TGIFCodedImage::Code(const uint8_t* pixels, int width, int height, TGIFEncoderCache& encoders,
                          const TLZWStrings* strings) {
    const TGIFCoding& coding = coding_;
    TMemoryStream stream;
    // Room for what natural pictures code to; noise takes more and grows the buffer.
    stream.Data().reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
    const bool stringsFit = strings && coding.Encoding == geLZW && !coding.Interlaced &&
                            strings->BitsPerPixel == coding.BitsPerPixel &&
                            strings->Pixels == static_cast<size_t>(width) * height;
    if (stringsFit)
        encoders.LZW().CompressStrings(stream, *strings, coding.ColorLimit, pixels, height, width);
    else
        encoders.For(coding.Encoding)
            .Compress(stream, coding.BitsPerPixel, coding.ColorLimit, pixels, coding.Interlaced,
                      height, width);
    // Kept at its size: a long clip holds thousands of these.
    bytes_.assign(stream.Data().begin(), stream.Data().end());
}

void TGIFCodedImage::WriteTo(TStream& stream) const { stream.WriteBuffer(bytes_.data(), Size()); }

void TGIFCodedImage::Decode(uint8_t* pixels, int width, int height) const {
    TReadOnlyMemoryStream stream(bytes_.data(), bytes_.size());
    DecodeGIFImageData(stream, pixels, width, height, coding_.Interlaced, nullptr);
}
