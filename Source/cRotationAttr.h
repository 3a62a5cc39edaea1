#pragma once

#include "cAttribute.h"

namespace Vorel {

// How an object is turned: the upper-left 3 x 3 of its rotation matrix,
// row after row.
class cRotationAttr : public cAttribute {
public:
    cRotationAttr() { m_type = "Rotation"; }
    cAttribute* Clone() const override { return new cRotationAttr(*this); }

    float m_rotation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

}  // namespace Vorel
