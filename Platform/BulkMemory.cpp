#include "BulkMemory.h"

#include <sys/mman.h>

#include <cstdint>

namespace Platform {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// Whole small pages: the last part of a block that is not a whole huge
// page stays in small pages, and nothing is resident for nothing.
size_t Rounded(size_t bytes) {
    constexpr size_t kPage = 4096;
    return (bytes + kPage - 1) & ~(kPage - 1);
}

}  // namespace

void* TakeBulk(size_t bytes) {
    const size_t size = Rounded(bytes);
    if (size < bytes || size + kHugePage < size) throw std::bad_alloc();
    // On a huge page boundary, so that every whole huge page of it can be
    // one: the slack around the aligned range is given back at once.
    void* mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = start + size + kHugePage;
    if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint: small pages if refused
    madvise(reinterpret_cast<void*>(aligned), size,
            MADV_POPULATE_WRITE);  // every page at once, not one fault each
    return reinterpret_cast<void*>(aligned);
}

void GiveBackBulk(void* p, size_t bytes) noexcept {
    munmap(p, Rounded(bytes));
}

}  // namespace Platform
