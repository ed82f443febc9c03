#include "gif/codec/GIFEncoderCache.h"

#include "gif/codec/LZWEncoder.h"
#include "gif/codec/RLEEncoder.h"

std::unique_ptr<TGIFEncoder> CreateGIFEncoder(TGIFEncoding encoding) {
    if (encoding == geRLE) return std::make_unique<TRLEEncoder>();
    return std::make_unique<TLZWEncoder>();
}

TGIFEncoder& TGIFEncoderCache::For(TGIFEncoding encoding) {
    if (encoding != geRLE) return LZW();
    if (!rle_) rle_ = CreateGIFEncoder(geRLE);
    return *rle_;
}

TLZWEncoder& TGIFEncoderCache::LZW() {
    if (!lzw_) lzw_ = std::make_unique<TLZWEncoder>();
    return *lzw_;
}
