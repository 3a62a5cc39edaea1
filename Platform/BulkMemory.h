// Memory for the large buffers of a load (a file's bytes, payloads, mesh
// arrays): grown without zeroing what is added, since each is written whole
// as soon as it grows, and from 2 MiB up taken from the system directly in
// huge pages where it has them, so that filling 50 MB does not fault in
// 12,800 pages one by one.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace Platform {

constexpr size_t kBulkThreshold = size_t(2) << 20;

// Throws std::bad_alloc; the size given back must be the size taken.
void* TakeBulk(size_t bytes);
void GiveBackBulk(void* p, size_t bytes) noexcept;

template <typename T>
struct Uninitialized : std::allocator<T> {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    template <typename U>
    struct rebind {
        using other = Uninitialized<U>;
    };
    Uninitialized() = default;
    template <typename U>
    Uninitialized(const Uninitialized<U>&) {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        if (n * sizeof(T) >= kBulkThreshold) return static_cast<T*>(TakeBulk(n * sizeof(T)));
        return std::allocator<T>::allocate(n);
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n * sizeof(T) >= kBulkThreshold)
            GiveBackBulk(p, n * sizeof(T));
        else
            std::allocator<T>::deallocate(p, n);
    }
    template <typename U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const Uninitialized<U>&) const {
        return true;
    }
};

template <typename T>
using BulkVector = std::vector<T, Uninitialized<T>>;

}  // namespace Platform
