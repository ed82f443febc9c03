#pragma once
// The LZW encoder's string table: a fixed open-addressed hash of (prefix code, pixel) keys to
// codes.
#include <cstdint>

class THashTable {
public:
    static constexpr int kSize = 8009;  // a prime
    static constexpr int kNotFound = -1;

    // Every entry free.
    void Clear();

    // Key of the string `prefix` followed by `pixel`; fits in 20 bits.
    static uint32_t Key(int prefix, int pixel) {
        return (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(pixel);
    }

    // The code stored for key, or kNotFound. When not found, freeSlot receives the slot an
    // insertion of the key would take (kNotFound when the key's probe cycle has no free slot left).
    int Lookup(uint32_t key, int& freeSlot) const {
        // Most lookups end at the first slot; the probing loop stays out of line.
        const int slot = PrimarySlot(key);
        const uint32_t entry = entries_[slot];
        if ((entry >> kCodeBits) == key) return static_cast<int>(entry & kCodeMask);
        if (entry >= kFreeEntry) {
            freeSlot = slot;
            return kNotFound;
        }
        return Probe(key, slot, freeSlot);
    }
    int Lookup(uint32_t key) const {
        int unused;
        return Lookup(key, unused);
    }

    // Stores code for key in a slot Lookup returned.
    void StoreAt(int slot, uint32_t key, int code) {
        entries_[slot] = (key << kCodeBits) | static_cast<uint32_t>(code);
    }
    // Stores code for key at the first free slot of its probe sequence; false when there is none.
    bool Insert(uint32_t key, int code);

    static int PrimarySlot(uint32_t key) {
        // (key ^ key >> 4) mod kSize; the value is below 2^20, where multiplying by this rounded-up
        // reciprocal of kSize and dropping 33 bits gives the exact quotient.
        const uint32_t hash = key ^ (key >> 4);
        const uint32_t quotient =
            static_cast<uint32_t>((uint64_t{hash} * kReciprocal) >> kReciprocalShift);
        return static_cast<int>(hash - quotient * kSize);
    }
    static int NextSlot(int slot) {
        const int displacement = slot == 0 ? 1 : kSize - slot;
        slot -= displacement;
        return slot < 0 ? slot + kSize : slot;
    }

private:
    static constexpr int kReciprocalShift = 33;
    static constexpr uint64_t kReciprocal = ((uint64_t{1} << kReciprocalShift) + kSize - 1) / kSize;
    static constexpr int kCodeBits = 12;
    static constexpr uint32_t kCodeMask = (1u << kCodeBits) - 1;
    static constexpr uint32_t kFreeEntry = 0xFFFFFu << kCodeBits;  // key bits all ones
    // The probe sequence doubles the slot modulo the prime; 2 has order 4004 there, so after that
    // many steps (one more from slot 0) every slot the sequence can reach has been seen.
    static constexpr int kMaxProbes = 4005;

    // The rest of the probe sequence after a collision at slot.
    int Probe(uint32_t key, int slot, int& freeSlot) const;

    uint32_t entries_[kSize];
};
