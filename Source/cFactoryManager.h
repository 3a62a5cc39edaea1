#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "Singleton.h"
#include "cBaseComponentFactory.h"

namespace Vorel {

// The registry of component factories, by component type id. It owns them.
class cFactoryManager : public cSingleton<cFactoryManager> {
public:
    cFactoryManager() = default;
    // The factories in ascending id.
    ~cFactoryManager();
    cFactoryManager(const cFactoryManager&) = delete;
    cFactoryManager& operator=(const cFactoryManager&) = delete;
    // Takes the factory unless one is registered under the id already; then
    // the call is ignored and the caller keeps it.
    bool RegisterFactory(int32_t type, cBaseComponentFactory* factory);
    cBaseComponentFactory* GetFactory(int32_t type) const;

private:
    std::map<int32_t, std::unique_ptr<cBaseComponentFactory>> m_factories;
    int32_t m_factoryCount = 0;
};

}  // namespace Vorel
