#include "cMemoryManager.h"

namespace Vorel {

cMemoryManager::~cMemoryManager() {
    // A map's own destructor gives no order; the walk does.
    for (auto& [size, pool] : m_pools)
        pool.reset();
}

void* cMemoryManager::Allocate(uint32_t size) {
    auto it = m_pools.find(size);
    if (it == m_pools.end()) {
        it = m_pools.emplace(size, std::make_unique<cMemoryPool>(size)).first;
        ++m_poolCount;
    }
    m_bytesInUse += size;
    ++m_allocationCount;
    if (m_peakBytes < m_bytesInUse) m_peakBytes = m_bytesInUse;
    return it->second->Allocate();
}

void cMemoryManager::Deallocate(uint32_t size, void* block) {
    const auto it = m_pools.find(size);
    if (it == m_pools.end() || block == nullptr) return;
    it->second->Deallocate(block);
    ++m_deallocationCount;
    m_bytesInUse -= size;
}

const cMemoryPool* cMemoryManager::GetPool(uint32_t size) const {
    const auto it = m_pools.find(size);
    return it == m_pools.end() ? nullptr : it->second.get();
}

}  // namespace Vorel
