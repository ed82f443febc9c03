#include "gif/LZWEncoder.h"

#include <algorithm>

void TLZWEncoder::Clear() {
    justCleared_ = true;
    Emit(clearCode_);
    table_.Clear();
    ForgetChildren();
    nextCode_ = static_cast<int16_t>(baseCode_);
}

void TLZWEncoder::ForgetChildren() {
    // Only codes below the next free one can have been extended.
    const int used = nextCode_ > 0 ? nextCode_ : kMaxCodes;
    std::fill_n(lastChild_, used, kNoChild);
}

void TLZWEncoder::DoCompress() {
    Clear();
    const uint8_t* first;
    const uint8_t* last;
    if (!NextSpan(first, last)) return;
    prefix_ = static_cast<int16_t>(CheckedPixel(*first++));
    const bool checkColors = colorLimit_ <= UINT8_MAX;
    do {
        if (checkColors) {
            CompressSpan<true>(first, last);
        } else {
            CompressSpan<false>(first, last);
        }
    } while (NextSpan(first, last));
    Emit(prefix_);
}

template <bool kCheckColors>
void TLZWEncoder::CompressSpan(const uint8_t* first, const uint8_t* last) {
    int prefix = prefix_;
    for (const uint8_t* p = first; p != last; ++p) {
        const int pixel = kCheckColors ? CheckedPixel(*p) : *p;
        const uint32_t cached = lastChild_[prefix];
        if ((cached >> 16) == static_cast<uint32_t>(pixel)) {
            prefix = static_cast<int>(cached & 0xFFFF);
            continue;
        }
        const uint32_t key = THashTable::Key(prefix, pixel);
        int freeSlot;
        const int code = table_.Lookup(key, freeSlot);
        if (code != THashTable::kNotFound) {
            lastChild_[prefix] = (static_cast<uint32_t>(pixel) << 16) | static_cast<uint32_t>(code);
            prefix = code;
            continue;
        }
        Emit(prefix);
        if (nextCode_ <= kLastAssignedCode && freeSlot != THashTable::kNotFound) {
            lastChild_[prefix] =
                (static_cast<uint32_t>(pixel) << 16) | static_cast<uint32_t>(nextCode_);
            table_.StoreAt(freeSlot, key, nextCode_++);
            prefix = pixel;
        } else {
            prefix = pixel;
            Clear();
        }
    }
    prefix_ = static_cast<int16_t>(prefix);
}
