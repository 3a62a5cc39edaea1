#pragma once

#include <d3dx9math.h>

#include "cAttribute.h"

namespace Vorel {

// Where a camera looks: along m_view; m_up is kept but the view's up comes
// from the world's.
class cOrientationAttr : public cAttribute {
public:
    cOrientationAttr() { m_type = "Orientation"; }
    cAttribute* Clone() const override { return new cOrientationAttr(*this); }

    D3DXVECTOR3 m_view{0, 0, 0};
    D3DXVECTOR3 m_up{0, 0, 0};
};

}  // namespace Vorel
