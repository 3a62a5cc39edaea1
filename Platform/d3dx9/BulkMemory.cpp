#include "d3dx9/BulkMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>

namespace Platform {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// Blocks given back, kept for the next load (a reload, the second model)
// so that it does not fault its pages in again: a few, and 64 MiB at most.
struct Kept {
    std::mutex lock;
    struct Block {
        void* p;
        size_t size;
    };
    Block blocks[4] = {};
    size_t total = 0;
};

Kept& KeptBlocks() {
    static Kept* kept = new Kept;  // never destroyed: blocks may come back during exit
    return *kept;
}

constexpr size_t kKeptAtMost = size_t(64) << 20;

size_t Rounded(size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

void* TakeBulk(size_t bytes) {
    const size_t size = Rounded(bytes);
    if (size < bytes || size + kHugePage < size) throw std::bad_alloc();
    {
        // A kept block of the same size (in huge pages).
        Kept& kept = KeptBlocks();
        const std::lock_guard<std::mutex> hold(kept.lock);
        for (Kept::Block& b : kept.blocks)
            if (b.p != nullptr && b.size == size) {
                void* p = b.p;
                kept.total -= size;
                b = {};
                return p;
            }
    }
    // A whole number of huge pages, on a huge page boundary: the slack
    // around the aligned range is given back at once.
    void* mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = start + size + kHugePage;
    if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint: small pages if refused
    return reinterpret_cast<void*>(aligned);
}

void GiveBackBulk(void* p, size_t bytes) noexcept {
    const size_t size = Rounded(bytes);
    {
        Kept& kept = KeptBlocks();
        const std::lock_guard<std::mutex> hold(kept.lock);
        if (kept.total + size <= kKeptAtMost)
            for (Kept::Block& b : kept.blocks)
                if (b.p == nullptr) {
                    b = {p, size};
                    kept.total += size;
                    return;
                }
    }
    munmap(p, size);
}

}  // namespace Platform
