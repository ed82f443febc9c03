#include "gif/codec/LossyLZW.h"

#include <algorithm>

namespace {

constexpr int kMaxCodes = 4096;
// As in the encoder: codes up to this one are assigned, the next miss starts a new table.
constexpr int kLastAssignedCode = kMaxCodes - 2;

}  // namespace

void TLossyLZW::Rewrite(uint8_t* pixels, size_t count, int bitsPerPixel, TLZWLatitude& latitude) {
    if (count == 0) return;
    const int clearCode = 1 << std::clamp(bitsPerPixel, 2, 8);
    const int firstCode = clearCode + 2;
    table_.Clear();
    int nextCode = firstCode;
    THashTable::TString prefix = THashTable::Pixel(pixels[0]);
    uint8_t alternatives[TLZWLatitude::kMostAlternatives];
    for (size_t i = 1; i < count; ++i) {
        const int pixel = pixels[i];
        uint32_t slot;
        if (table_.Extend(prefix, pixel, slot)) continue;
        const int found = latitude.Alternatives(i, pixel, alternatives);
        bool extended = false;
        for (int a = 0; a < found && !extended; ++a) {
            THashTable::TString longer = prefix;
            uint32_t unused;
            if (table_.Extend(longer, alternatives[a], unused)) {
                prefix = longer;
                pixels[i] = alternatives[a];
                extended = true;
            }
        }
        if (extended) continue;
        if (nextCode <= kLastAssignedCode) {
            table_.StoreAt(slot, prefix, pixel, nextCode++);
        } else {
            table_.Clear();
            nextCode = firstCode;
        }
        prefix = THashTable::Pixel(pixel);
    }
}
