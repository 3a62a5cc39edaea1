#pragma once

#include <d3dx9.h>

namespace Vorel::Graphics {

// The view the frame is drawn from, taken from the camera components.
struct cCamera {
    D3DXVECTOR3 m_eye{0, 0, 0};
    D3DXVECTOR3 m_up{0, 0, 0};
    D3DXVECTOR3 m_direction{0, 0, 0};
    D3DXVECTOR3 m_side{0, 0, 0};
    D3DXVECTOR3 m_worldUp{0, 1, 0};
    // Before any camera component is seen: the identity, which looks down
    // +z from the origin.
    D3DXMATRIX m_viewMatrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

}  // namespace Vorel::Graphics
