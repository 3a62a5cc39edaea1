#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "cObject.h"

namespace Vorel {

// A numbered set of objects: archetypes loaded from object files, and the
// instances cloned from them. Instances are removed only through the queue.
class cObjectGroup {
public:
    ~cObjectGroup();

    // A new instance of the named archetype, loaded first if the group has
    // none of that name. The group owns it.
    cObject* CreateObject(const std::string& name);
    // Queues every instance; they stay (and are drawn) until ProcessRemovals.
    void RemoveAllObjects();
    void ProcessRemovals();

    const std::map<std::string, cObject*>& GetArchetypes() const { return m_archetypes; }
    const std::map<uint32_t, cObject*>& GetObjects() const { return m_objects; }

private:
    cObject* LoadArchetype(const std::string& name);
    static cObject* NewObject(const std::string& name);

    std::map<std::string, cObject*> m_archetypes;
    std::map<uint32_t, cObject*> m_objects;
    std::list<int32_t> m_removals;
    int32_t m_objectCount = 0;
};

}  // namespace Vorel
