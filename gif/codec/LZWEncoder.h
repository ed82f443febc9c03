#pragma once
// LZW encoder with a hashed string table.
#include <cstdint>

#include "gif/codec/GIFEncoder.h"
#include "gif/codec/LZWHashTable.h"
#include "gif/codec/LZWStrings.h"

class TLZWEncoder final : public TGIFEncoder {
public:
    // Codes width x height pixels (not interlaced) whose strings are known: the bytes Compress
    // gives for them at strings.BitsPerPixel, without looking a string up. The pixels are still
    // checked against the colour limit, all of them before any code.
    void CompressStrings(TStream& stream, const TLZWStrings& strings, int colorLimit,
                         const uint8_t* pixels, int height, int width);

protected:
    void Output(int code) override { Emit(code); }
    void Clear() override;
    void DoCompress() override;

private:
    // Packs the code, then widens the codes once the table has outgrown the current width.
    void Emit(int code) {
        PackCode(code);
        if (justCleared_) {
            SetCodeWidth(initialBitsPerCode_);
            justCleared_ = false;
        } else if (nextCode_ > maxCode_) {
            SetCodeWidth(bitsPerCode_ + 1);
            if (bitsPerCode_ == kMaxBits) maxCode_ = kMaxCodes;
        }
    }
    // The clear code, and codes from the first free one on.
    void StartTable();
    // Emits the known strings' codes, the table growing and starting again as it would.
    void EmitKnownStrings();
    // Codes the pixels [first, last), all below the colour limit, after the current prefix.
    void CompressPixels(const uint8_t* first, const uint8_t* last);
    // The first pixel of [first, last) not below the colour limit, or last.
    const uint8_t* FirstInvalidPixel(const uint8_t* first, const uint8_t* last) const;

    // Codes up to this one are assigned; the next miss starts a new table.
    static constexpr int kLastAssignedCode = kMaxCodes - 2;

    int nextCode_ = 0;
    THashTable::TString prefix_ = {};
    THashTable table_;
    const TLZWStrings* knownStrings_ = nullptr;  // while CompressStrings runs
};
