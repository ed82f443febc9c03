#pragma once
// Which encoder codes an encoding, and the encoders a thread keeps for frame after frame.
#include <memory>

#include "gif/codec/GIFEncoder.h"
#include "gif/codec/LZWEncoder.h"
#include "gif/core/GIFTypes.h"

// The encoder of an encoding: TRLEEncoder for geRLE, TLZWEncoder otherwise.
std::unique_ptr<TGIFEncoder> CreateGIFEncoder(TGIFEncoding encoding);

// An encoder of each encoding, made when first wanted and then reused by one thread, so that
// coding frame after frame does not allocate and fill the LZW encoder's tables (some 200 KB)
// for each of them.
class TGIFEncoderCache {
public:
    TGIFEncoder& For(TGIFEncoding encoding);
    TLZWEncoder& LZW();

private:
    std::unique_ptr<TLZWEncoder> lzw_;
    std::unique_ptr<TGIFEncoder> rle_;
};
