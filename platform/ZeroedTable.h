#pragma once
// A table of plain numbers of a fixed size that starts as zeros. Its memory comes from calloc,
// which hands large blocks over as fresh pages the system has zeroed, and those pages are mapped
// writable at once, in one call: left to be mapped on first touch, a page first read maps the
// shared zero page and the write after it copies that page, two faults of which the second
// interrupts every other core the process runs on (a tenth of a short conversion's time).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include <sys/mman.h>

template <typename T>
class TZeroedTable {
    static_assert(std::is_trivially_copyable_v<T>, "a table of plain numbers");

public:
    explicit TZeroedTable(size_t size) : size_(size), data_(Allocate(size)) {}
    TZeroedTable(const TZeroedTable& other) : size_(other.size_), data_(Allocate(other.size_)) {
        if (size_ > 0) std::memcpy(data_, other.data_, size_ * sizeof(T));
    }
    TZeroedTable(TZeroedTable&& other) noexcept
        : size_(std::exchange(other.size_, 0)), data_(std::exchange(other.data_, nullptr)) {}
    TZeroedTable& operator=(const TZeroedTable& other) {
        if (this == &other) return *this;
        TZeroedTable copy(other);
        std::swap(size_, copy.size_);
        std::swap(data_, copy.data_);
        return *this;
    }
    TZeroedTable& operator=(TZeroedTable&& other) noexcept {
        std::swap(size_, other.size_);
        std::swap(data_, other.data_);
        return *this;
    }
    ~TZeroedTable() { std::free(data_); }

    size_t size() const { return size_; }
    T& operator[](size_t index) { return data_[index]; }
    const T& operator[](size_t index) const { return data_[index]; }
    // Every entry zero again.
    void Clear() {
        if (size_ > 0) std::memset(data_, 0, size_ * sizeof(T));
    }

private:
    static T* Allocate(size_t size) {
        if (size == 0) return nullptr;
        void* memory = std::calloc(size, sizeof(T));
        if (!memory) throw std::bad_alloc();
        MapWritable(memory, size * sizeof(T));
        return static_cast<T*>(memory);
    }
    // The whole pages of the block. Without the call (systems before Linux 5.14), pages are
    // mapped when touched.
    static void MapWritable(void* memory, size_t bytes) {
        constexpr uintptr_t kPage = 4096;
        const uintptr_t begin = (reinterpret_cast<uintptr_t>(memory) + kPage - 1) & ~(kPage - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + bytes) & ~(kPage - 1);
#ifdef MADV_POPULATE_WRITE
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
    }

    size_t size_;
    T* data_;
};
