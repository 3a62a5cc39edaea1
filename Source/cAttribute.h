#pragma once

#include <string>

#include "cMemoryManager.h"

namespace Vorel {

// The data of a scene object. Attributes live in pool blocks of their own
// class's size: deleting one through this base gives that block back.
class cAttribute : public cPooled {
public:
    virtual ~cAttribute() = default;
    // A new attribute of the same class and values, in a new block.
    virtual cAttribute* Clone() const = 0;
    cAttribute* GetValue() { return this; }

    std::string m_type;  // the key the object stores it under

protected:
    cAttribute() = default;
    cAttribute(const cAttribute&) = default;
    cAttribute& operator=(const cAttribute&) = default;
};

}  // namespace Vorel
