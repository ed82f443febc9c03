#include "gif/codec/LZWEncoder.h"

#include <algorithm>

void TLZWEncoder::Clear() {
    justCleared_ = true;
    Emit(clearCode_);
    table_.Clear();
    nextCode_ = baseCode_;
}

// Pixels are checked a span at a time before they are coded; a bad one ends the frame after the
// codes of the pixels before it, as if each pixel had been checked as it came.
void TLZWEncoder::DoCompress() {
    Clear();
    const uint8_t* first;
    const uint8_t* last;
    if (!NextSpan(first, last)) return;
    prefix_ = THashTable::Pixel(CheckedPixel(*first++));
    do {
        const uint8_t* valid = FirstInvalidPixel(first, last);
        CompressPixels(first, valid);
        if (valid != last) ColorNotInTable();
    } while (NextSpan(first, last));
    Emit(static_cast<int>(prefix_.code));
}

const uint8_t* TLZWEncoder::FirstInvalidPixel(const uint8_t* first, const uint8_t* last) const {
    if (colorLimit_ > UINT8_MAX) return last;
    // Whole chunks are tested with a loop the compiler can run on vectors.
    constexpr ptrdiff_t kChunk = 64;
    const auto limit = static_cast<uint8_t>(colorLimit_);
    for (; last - first >= kChunk; first += kChunk) {
        uint8_t highest = 0;
        for (ptrdiff_t i = 0; i < kChunk; ++i) highest = std::max(highest, first[i]);
        if (highest >= limit) break;
    }
    while (first != last && *first < limit) ++first;
    return first;
}

void TLZWEncoder::CompressPixels(const uint8_t* first, const uint8_t* last) {
    THashTable::TString prefix = prefix_;
    for (const uint8_t* p = first; p != last; ++p) {
        const int pixel = *p;
        uint32_t slot;
        if (table_.Extend(prefix, pixel, slot)) continue;
        Emit(static_cast<int>(prefix.code));
        if (nextCode_ <= kLastAssignedCode)
            table_.StoreAt(slot, prefix, pixel, nextCode_++);
        else
            Clear();
        prefix = THashTable::Pixel(pixel);
    }
    prefix_ = prefix;
}
