#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "cAttribute.h"
#include "cComponent.h"
#include "cMemoryManager.h"

namespace Vorel {

// A scene object: a named bag of attributes (owned) and components (made
// and destroyed by their factories). It lives in a pool block.
class cObject : public cPooled {
public:
    ~cObject();

    // Keeps the attribute unless one of that name is there; then the new one
    // is destroyed.
    void AddAttribute(const std::string& type, cAttribute* attribute);
    cAttribute* GetAttribute(const std::string& type) const;
    // Inserts unless the object has a component of that type already.
    void AddComponent(uint32_t type, cComponent* component);
    cComponent* GetComponent(uint32_t type) const;

    // Fills an empty object from Assets/XML/Objects/<name>.xml. A file that
    // cannot be read leaves it empty, with one trace line.
    void LoadFromFile(const std::string& name);
    // Fills an empty instance from an archetype: copies of its attributes,
    // and components of its types bound to the copies.
    void CloneFrom(const cObject& archetype);

    int32_t m_id = -1;
    std::string m_name;
    bool m_isArchetype = false;
    std::map<uint32_t, cComponent*> m_components;
    std::map<std::string, cAttribute*> m_attributes;
};

}  // namespace Vorel
