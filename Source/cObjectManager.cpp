#include "cObjectManager.h"

namespace Vorel {

cObjectManager::~cObjectManager() {
    // Groups in ascending id; each destroys its instances, then archetypes.
    for (auto& [id, group] : m_groups)
        group.reset();
    m_groups.clear();
    m_groupCount = 0;
}

cObjectGroup* cObjectManager::GetGroup(int32_t id) {
    auto it = m_groups.find(id);
    if (it == m_groups.end()) {
        it = m_groups.emplace(id, std::make_unique<cObjectGroup>()).first;
        ++m_groupCount;
    }
    return it->second.get();
}

}  // namespace Vorel
