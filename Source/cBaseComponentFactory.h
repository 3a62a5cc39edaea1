#pragma once

#include <cstdint>

#include "cComponent.h"

namespace Vorel {

// What the registry knows of a factory.
class cBaseComponentFactory {
public:
    virtual ~cBaseComponentFactory() = default;
    // The new component of the object, or null when it already has one.
    virtual cComponent* CreateComponent(uint32_t objectId) {
        (void)objectId;
        return nullptr;
    }
    virtual void DestroyComponent(uint32_t objectId) { (void)objectId; }
};

}  // namespace Vorel
