#pragma once

#include "cComponent.h"
#include "cModelAttr.h"
#include "cPositionAttr.h"
#include "cRotationAttr.h"

namespace Vorel::Graphics {

// Makes its object drawn: the model of its Model attribute, placed by its
// Position and Rotation. The attributes are the object's.
class cGraphics3DCom : public cComponent {
public:
    static constexpr int32_t kType = kGraphics3DComponent;

    cPositionAttr* m_positionAttr = nullptr;
    cRotationAttr* m_rotationAttr = nullptr;
    cModelAttr* m_modelAttr = nullptr;
};

}  // namespace Vorel::Graphics
