#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "Singleton.h"
#include "cMemoryPool.h"

namespace Vorel {

// Fixed-size blocks for the object framework, one pool per requested size.
// Callers state the size both ways, so blocks carry no header.
class cMemoryManager : public cSingleton<cMemoryManager> {
public:
    cMemoryManager() = default;
    // The pools in ascending block size.
    ~cMemoryManager();
    cMemoryManager(const cMemoryManager&) = delete;
    cMemoryManager& operator=(const cMemoryManager&) = delete;
    // A block of at least `size` bytes, aligned for any type. Never null.
    void* Allocate(uint32_t size);
    // Gives back a block from Allocate of the same size; a size no pool has
    // is ignored.
    void Deallocate(uint32_t size, void* block);

    const cMemoryPool* GetPool(uint32_t size) const;
    int32_t GetAllocationCount() const { return m_allocationCount; }
    int32_t GetDeallocationCount() const { return m_deallocationCount; }
    int32_t GetPoolCount() const { return m_poolCount; }
    uint32_t GetBytesInUse() const { return m_bytesInUse; }
    uint32_t GetPeakBytes() const { return m_peakBytes; }

private:
    std::map<uint32_t, std::unique_ptr<cMemoryPool>> m_pools;
    int32_t m_allocationCount = 0;
    int32_t m_deallocationCount = 0;
    int32_t m_poolCount = 0;
    uint32_t m_bytesInUse = 0;
    uint32_t m_peakBytes = 0;
};

// Class-level allocation from the pools: `new` of a class deriving from this
// takes a block of the class's size, and `delete` (through a virtual
// destructor where there is one) gives back a block of the dynamic class's
// size.
struct cPooled {
    static void* operator new(std::size_t size) {
        return cMemoryManager::Instance()->Allocate(static_cast<uint32_t>(size));
    }
    static void operator delete(void* block, std::size_t size) {
        cMemoryManager::Instance()->Deallocate(static_cast<uint32_t>(size), block);
    }
};

}  // namespace Vorel
