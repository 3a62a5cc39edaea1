#include "cFactoryManager.h"

namespace Vorel {

cFactoryManager::~cFactoryManager() {
    // A map's own destructor gives no order; the walk does.
    for (auto& [type, factory] : m_factories)
        factory.reset();
}

bool cFactoryManager::RegisterFactory(int32_t type, cBaseComponentFactory* factory) {
    if (factory == nullptr || m_factories.count(type) != 0) return false;
    m_factories.emplace(type, std::unique_ptr<cBaseComponentFactory>(factory));
    ++m_factoryCount;
    return true;
}

cBaseComponentFactory* cFactoryManager::GetFactory(int32_t type) const {
    const auto it = m_factories.find(type);
    return it == m_factories.end() ? nullptr : it->second.get();
}

}  // namespace Vorel
