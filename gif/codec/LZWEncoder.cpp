#include "gif/codec/LZWEncoder.h"

#include <algorithm>

void TLZWEncoder::StartTable() {
    justCleared_ = true;
    Emit(clearCode_);
    nextCode_ = baseCode_;
}

void TLZWEncoder::Clear() {
    StartTable();
    table_.Clear();
}

void TLZWEncoder::CompressStrings(TStream& stream, const TLZWStrings& strings, int colorLimit,
                                  const uint8_t* pixels, int height, int width) {
    knownStrings_ = &strings;
    try {
        Compress(stream, strings.BitsPerPixel, colorLimit, pixels, false, height, width);
    } catch (...) {
        knownStrings_ = nullptr;
        throw;
    }
    knownStrings_ = nullptr;
}

// Each code but the last ends a string the table then learns (or, once it is full, starts
// again after), exactly as CompressPixels goes.
void TLZWEncoder::EmitKnownStrings() {
    const uint8_t* first;
    const uint8_t* last;
    while (NextSpan(first, last))
        if (FirstInvalidPixel(first, last) != last) ColorNotInTable();
    StartTable();
    const uint16_t* code = knownStrings_->Codes.data();
    const uint16_t* end = code + knownStrings_->Count;
    if (code == end) return;
    for (; code + 1 != end; ++code) {
        Emit(*code);
        if (nextCode_ <= kLastAssignedCode)
            ++nextCode_;
        else
            StartTable();
    }
    Emit(*code);
}

// Pixels are checked a span at a time before they are coded; a bad one ends the frame after the
// codes of the pixels before it, as if each pixel had been checked as it came.
void TLZWEncoder::DoCompress() {
    if (knownStrings_) {
        EmitKnownStrings();
        return;
    }
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
