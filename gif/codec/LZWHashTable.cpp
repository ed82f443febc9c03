#include "gif/codec/LZWHashTable.h"

#include <algorithm>
#include <cstring>

THashTable::THashTable() {
    std::memset(entries_, 0xFF, sizeof entries_);
    std::memset(pairs_, 0xFF, sizeof pairs_);
}

void THashTable::Clear() {
    std::memset(entries_, 0xFF, sizeof entries_);
    count_ = 0;
    if (pairCount_ > kRememberedPairs) {
        std::memset(pairs_, 0xFF, sizeof pairs_);
    } else {
        for (int i = 0; i < pairCount_; ++i) pairs_[storedPairs_[i]] = kNoPair;
    }
    pairCount_ = 0;
}

bool THashTable::Insert(const TString& string, int pixel, int code) {
    if (string.code >= kPixelCodes && count_ >= kCapacity) return false;
    TString found = string;
    uint32_t slot;
    if (Extend(found, pixel, slot)) return false;
    StoreAt(slot, string, pixel, code);
    return true;
}
