#pragma once
// A table of plain numbers of a fixed size that starts as zeros. Its memory comes from calloc,
// which hands large blocks over as pages the system maps (zeroed) only when they are first
// touched: a table of a megabyte of which a picture touches a few pages costs those pages, not a
// megabyte of writes and page faults when it is made.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

template <typename T>
class TZeroedTable {
    static_assert(std::is_trivially_copyable_v<T>, "a table of plain numbers");

public:
    explicit TZeroedTable(size_t size) : size_(size), data_(Allocate(size)) {}
    TZeroedTable(const TZeroedTable& other) : size_(other.size_), data_(Allocate(other.size_)) {
        if (size_ > 0) std::memcpy(data_, other.data_, size_ * sizeof(T));
    }
    TZeroedTable& operator=(const TZeroedTable& other) {
        if (this == &other) return *this;
        TZeroedTable copy(other);
        std::swap(size_, copy.size_);
        std::swap(data_, copy.data_);
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
        return static_cast<T*>(memory);
    }

    size_t size_;
    T* data_;
};
