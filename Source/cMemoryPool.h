#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorel {

// Fixed-size blocks carved from chunks of ten, handed out last in, first
// out. Chunks go back to the heap only when the pool is destroyed.
class cMemoryPool {
public:
    static constexpr uint32_t kBlocksPerChunk = 10;
    // Blocks and chunk headers are aligned for any type.
    static constexpr size_t kAlignment = alignof(std::max_align_t);

    explicit cMemoryPool(uint32_t blockSize);
    ~cMemoryPool();
    cMemoryPool(const cMemoryPool&) = delete;
    cMemoryPool& operator=(const cMemoryPool&) = delete;

    void* Allocate();
    void Deallocate(void* block);

    uint32_t GetBlockSize() const { return m_blockSize; }
    int32_t GetAllocations() const { return m_allocations; }
    int32_t GetDeallocations() const { return m_deallocations; }
    int32_t GetChunkCount() const { return m_chunkCount; }
    int32_t GetInUse() const { return m_inUse; }
    int32_t GetFreeCount() const { return m_freeCount; }

private:
    void Grow();

    void* m_chunks = nullptr;    // newest first; the first word links to the next
    void* m_freeList = nullptr;  // a free block's first word links to the next
    uint32_t m_blockSize;        // the requested size rounded up to the alignment
    uint32_t m_blocksPerChunk = kBlocksPerChunk;
    int32_t m_allocations = 0;
    int32_t m_deallocations = 0;
    int32_t m_chunkCount = 0;
    int32_t m_inUse = 0;
    int32_t m_freeCount = 0;
};

}  // namespace Vorel
