#pragma once

#include <d3dx9math.h>

#include "cAttribute.h"

namespace Vorel {

// Where an object is: a drawn object's translation, a camera's eye.
class cPositionAttr : public cAttribute {
public:
    cPositionAttr() { m_type = "Position"; }
    cAttribute* Clone() const override { return new cPositionAttr(*this); }

    D3DXVECTOR3 m_position{0, 0, 0};
};

}  // namespace Vorel
