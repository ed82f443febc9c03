#include "gif/LZWHashTable.h"

#include <cstring>

void THashTable::Clear() {
    std::memset(entries_, 0xFF, sizeof entries_);
    count_ = 0;
}

bool THashTable::Insert(const TString& string, int pixel, int code) {
    if (count_ >= kCapacity) return false;
    TString found = string;
    uint32_t slot;
    if (Extend(found, pixel, slot)) return false;
    StoreAt(slot, string, pixel, code);
    return true;
}
