#pragma once
// LZW encoder with a hashed string table.
#include <cstdint>

#include "gif/GIFEncoder.h"
#include "gif/LZWHashTable.h"

class TLZWEncoder final : public TGIFEncoder {
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
    // kCheckColors is false when every byte value is a valid index, which spares a test per pixel.
    template <bool kCheckColors>
    void CompressSpan(const uint8_t* first, const uint8_t* last);

    // Codes up to this one are assigned; the next miss starts a new table.
    static constexpr int kLastAssignedCode = kMaxCodes - 2;

    // The child each code was last extended by: (pixel << 16 | code), or kNoChild. Runs of
    // similar pixels extend the same strings again and again; this answers them without
    // hashing. The table stays the authority: the cache only repeats answers it gave.
    static constexpr uint32_t kNoChild = 0xFFFFFFFFu;
    void ForgetChildren();

    int16_t nextCode_ = 0;
    int16_t prefix_ = 0;
    THashTable table_;
    uint32_t lastChild_[kMaxCodes];
};
