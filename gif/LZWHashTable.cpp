#include "gif/LZWHashTable.h"

#include <cstring>

void THashTable::Clear() { std::memset(entries_, 0xFF, sizeof entries_); }

bool THashTable::Insert(uint32_t key, int code) {
    int slot = PrimarySlot(key);
    for (int probes = 0; probes < kMaxProbes; ++probes, slot = NextSlot(slot)) {
        if (entries_[slot] >= kFreeEntry) {
            StoreAt(slot, key, code);
            return true;
        }
    }
    return false;
}

int THashTable::Probe(uint32_t key, int slot, int& freeSlot) const {
    for (int probes = 1; probes < kMaxProbes; ++probes) {
        slot = NextSlot(slot);
        const uint32_t entry = entries_[slot];
        if ((entry >> kCodeBits) == key) return static_cast<int>(entry & kCodeMask);
        if (entry >= kFreeEntry) {
            freeSlot = slot;
            return kNotFound;
        }
    }
    freeSlot = kNotFound;
    return kNotFound;
}
