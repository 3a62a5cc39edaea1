#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "Singleton.h"
#include "cObjectGroup.h"

namespace Vorel {

// The object groups, by number, and the one counter of object ids.
class cObjectManager : public cSingleton<cObjectManager> {
public:
    ~cObjectManager();
    // The group of that id, made empty on first use. Never null.
    cObjectGroup* GetGroup(int32_t id);
    // In ascending group id.
    const std::map<int32_t, std::unique_ptr<cObjectGroup>>& GetGroups() const { return m_groups; }
    // Ids are never reused: archetypes and instances alike, in creation order.
    int32_t NextObjectId() { return m_nextObjectId++; }

private:
    std::map<int32_t, std::unique_ptr<cObjectGroup>> m_groups;
    int32_t m_groupCount = 0;
    int32_t m_nextObjectId = 0;
};

}  // namespace Vorel
