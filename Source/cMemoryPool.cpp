#include "cMemoryPool.h"

#include <new>

namespace Vorel {

namespace {

uint32_t Aligned(uint32_t size) {
    const auto alignment = static_cast<uint32_t>(cMemoryPool::kAlignment);
    if (size < sizeof(void*)) size = sizeof(void*);  // room for the free-list link
    return (size + alignment - 1) / alignment * alignment;
}

void*& Link(void* at) {
    return *static_cast<void**>(at);
}

}  // namespace

cMemoryPool::cMemoryPool(uint32_t blockSize) : m_blockSize(Aligned(blockSize)) {}

cMemoryPool::~cMemoryPool() {
    while (m_chunks != nullptr) {
        void* next = Link(m_chunks);
        ::operator delete[](m_chunks, std::align_val_t(kAlignment));
        m_chunks = next;
    }
}

void cMemoryPool::Grow() {
    // The link to the older chunk takes a whole aligned slot, so that every
    // block after it is aligned too.
    char* chunk = static_cast<char*>(
        ::operator new[](kAlignment + size_t(m_blockSize) * m_blocksPerChunk, std::align_val_t(kAlignment)));
    Link(chunk) = m_chunks;
    m_chunks = chunk;
    // Pushed in ascending address order: the highest block goes out first.
    for (uint32_t i = 0; i < m_blocksPerChunk; ++i) {
        void* block = chunk + kAlignment + size_t(i) * m_blockSize;
        Link(block) = m_freeList;
        m_freeList = block;
    }
    m_freeCount += static_cast<int32_t>(m_blocksPerChunk);
    ++m_chunkCount;
}

void* cMemoryPool::Allocate() {
    if (m_freeCount == 0) Grow();
    void* block = m_freeList;
    m_freeList = Link(block);
    ++m_allocations;
    ++m_inUse;
    --m_freeCount;
    return block;
}

void cMemoryPool::Deallocate(void* block) {
    Link(block) = m_freeList;
    m_freeList = block;
    --m_inUse;
    ++m_deallocations;
    ++m_freeCount;
}

}  // namespace Vorel
