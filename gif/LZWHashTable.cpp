#include "gif/LZWHashTable.h"

#include <cstring>

void THashTable::Clear() {
    std::memset(entries_, 0xFF, sizeof entries_);
    count_ = 0;
}

bool THashTable::Insert(int prefix, int pixel, int code) {
    if (count_ >= kCapacity) return false;
    int slot;
    if (Find(prefix, pixel, slot) != kNotFound) return false;
    StoreAt(slot, prefix, pixel, code);
    return true;
}
