#pragma once

#include <d3dx9.h>

#include <string>

#include "cModel.h"

namespace Vorel::Graphics {

// A fill mode beside Direct3D's three: solid, with the wireframe over it.
constexpr int32_t kFillSolidWireframe = 4;
// The faces turned away from the camera: culled, drawn, or drawn tinted so
// that the back of a surface shows as such.
enum class BackFaces { kCull, kShow, kTint };

// One model draw, handed to the renderer at once; it owns nothing.
struct ModelPacket {
    cModel* m_model = nullptr;  // null: render state only
    const D3DXMATRIX* m_translationMatrix = nullptr;
    const D3DXMATRIX* m_rotationMatrix = nullptr;
    const D3DXMATRIX* m_scaleMatrix = nullptr;
    int32_t m_fillMode = D3DFILL_SOLID;  // or kFillSolidWireframe
    BackFaces m_backFaces = BackFaces::kCull;
};

// One text draw, queued until the frame's text pass. m_rect starts as the
// caller's point and holds the measured rectangle once queued.
struct TextPacket {
    LPD3DXFONT m_font = nullptr;
    std::string m_text;
    RECT m_rect{0, 0, 0, 0};
    D3DXCOLOR m_color{0, 0, 0, 0};
    DWORD m_flags = 0;
};

// Each channel saturates: 1 and above is 255 (so callers may pass 255.0),
// 0 and below is 0, otherwise c × 255 rounded; packed as ARGB. A packet's
// colour passed where a D3DCOLOR is taken converts so too.
D3DCOLOR ToD3DColor(const D3DXCOLOR& color);

}  // namespace Vorel::Graphics
