#include "gif/codec/GIFEncoderCache.h"

#include "gif/codec/LZWEncoder.h"
#include "gif/codec/RLEEncoder.h"

std::unique_ptr<TGIFEncoder> CreateGIFEncoder(TGIFEncoding encoding) {
    if (encoding == geRLE) return std::make_unique<TRLEEncoder>();
    return std::make_unique<TLZWEncoder>();
}

TGIFEncoder& TGIFEncoderCache::For(TGIFEncoding encoding) {
    std::unique_ptr<TGIFEncoder>& encoder = encoding == geRLE ? rle_ : lzw_;
    if (!encoder) encoder = CreateGIFEncoder(encoding);
    return *encoder;
}
