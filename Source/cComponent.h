#pragma once

#include <cstdint>

#include "cMemoryManager.h"

namespace Vorel {

// Component type ids.
constexpr int32_t kGraphics3DComponent = 1;
constexpr int32_t kCameraComponent = 3;

// A role an object plays in a system outside the object framework. Made and
// destroyed only by its factory, in a pool block of its own class's size.
class cComponent : public cPooled {
public:
    virtual ~cComponent() = default;

    int32_t m_type = 0;
    bool m_isArchetype = false;  // archetypes are never drawn and never the camera
};

}  // namespace Vorel
