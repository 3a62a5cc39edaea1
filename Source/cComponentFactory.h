#pragma once

#include <map>

#include "cBaseComponentFactory.h"

namespace Vorel {

// Makes, keeps and destroys the components of one class, one per object id.
template <class T>
class cComponentFactory : public cBaseComponentFactory {
public:
    ~cComponentFactory() override {
        for (auto& [id, component] : m_components)
            delete component;
    }

    T* CreateComponent(uint32_t objectId) override {
        if (m_components.count(objectId) != 0) return nullptr;
        T* component = new T();
        component->m_type = T::kType;
        m_components.emplace(objectId, component);
        return component;
    }

    void DestroyComponent(uint32_t objectId) override {
        const auto it = m_components.find(objectId);
        if (it == m_components.end()) return;
        delete it->second;
        m_components.erase(it);
    }

    // In ascending object id.
    const std::map<uint32_t, T*>& GetComponents() const { return m_components; }

private:
    std::map<uint32_t, T*> m_components;
};

}  // namespace Vorel
