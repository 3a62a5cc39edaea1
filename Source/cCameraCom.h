#pragma once

#include "cComponent.h"
#include "cOrientationAttr.h"
#include "cPositionAttr.h"

namespace Vorel::Graphics {

// Makes its object the view camera: eye at its Position, looking along its
// Orientation's view.
class cCameraCom : public cComponent {
public:
    static constexpr int32_t kType = kCameraComponent;

    cPositionAttr* m_positionAttr = nullptr;
    cOrientationAttr* m_orientationAttr = nullptr;
};

}  // namespace Vorel::Graphics
