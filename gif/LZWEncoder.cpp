#include "gif/LZWEncoder.h"

void TLZWEncoder::Clear() {
    justCleared_ = true;
    Emit(clearCode_);
    table_.Clear();
    nextCode_ = static_cast<int16_t>(baseCode_);
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
        const uint32_t key = THashTable::Key(prefix, pixel);
        int freeSlot;
        const int code = table_.Lookup(key, freeSlot);
        if (code != THashTable::kNotFound) {
            prefix = code;
            continue;
        }
        Emit(prefix);
        prefix = pixel;
        if (nextCode_ <= kLastAssignedCode && freeSlot != THashTable::kNotFound) {
            table_.StoreAt(freeSlot, key, nextCode_++);
        } else {
            Clear();
        }
    }
    prefix_ = static_cast<int16_t>(prefix);
}
