#include "cObjectGroup.h"

#include "cObjectManager.h"

namespace Vorel {

cObjectGroup::~cObjectGroup() {
    RemoveAllObjects();
    ProcessRemovals();
    for (auto& [name, archetype] : m_archetypes)
        delete archetype;
    m_archetypes.clear();
}

cObject* cObjectGroup::NewObject(const std::string& name) {
    auto* object = new cObject();
    object->m_id = cObjectManager::Instance()->NextObjectId();
    object->m_name = name;
    return object;
}

cObject* cObjectGroup::LoadArchetype(const std::string& name) {
    cObject* archetype = NewObject(name);
    archetype->LoadFromFile(name);
    archetype->m_isArchetype = true;
    m_archetypes.emplace(name, archetype);
    ++m_objectCount;
    return archetype;
}

cObject* cObjectGroup::CreateObject(const std::string& name) {
    const auto it = m_archetypes.find(name);
    const cObject* archetype = it != m_archetypes.end() ? it->second : LoadArchetype(name);
    cObject* object = NewObject(name);
    object->CloneFrom(*archetype);
    m_objects.emplace(static_cast<uint32_t>(object->m_id), object);
    ++m_objectCount;
    return object;
}

void cObjectGroup::RemoveAllObjects() {
    for (const auto& [id, object] : m_objects)
        m_removals.push_back(object->m_id);
}

void cObjectGroup::ProcessRemovals() {
    for (int32_t id : m_removals) {
        const auto it = m_objects.find(static_cast<uint32_t>(id));
        if (it == m_objects.end()) continue;  // queued twice
        delete it->second;
        m_objects.erase(it);
        --m_objectCount;
    }
    m_removals.clear();
}

}  // namespace Vorel
