#include "d3d9/GlTranslate.h"

namespace Platform::D3D9 {

uint32_t PolygonMode(DWORD fillMode) {
    switch (fillMode) {
        case D3DFILL_POINT:
            return Gl::kPoint;
        case D3DFILL_WIREFRAME:
            return Gl::kLine;
        case D3DFILL_SOLID:
            return Gl::kFill;
        default:
            return 0;
    }
}

uint32_t CulledFace(DWORD cullMode) {
    switch (cullMode) {
        case D3DCULL_CCW:
            return Gl::kBack;
        case D3DCULL_CW:
            return Gl::kFront;
        default:
            return 0;
    }
}

uint32_t ColorFormat(D3DFORMAT format) {
    // An unknown format means the display's, which is X8R8G8B8.
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_UNKNOWN ? Gl::kRgba8
                                                                                              : 0;
}

uint32_t DepthFormat(D3DFORMAT format) {
    return format == D3DFMT_D24S8 ? Gl::kDepth24Stencil8 : 0;
}

void ColorChannels(D3DCOLOR color, float rgba[4]) {
    rgba[0] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    rgba[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    rgba[2] = static_cast<float>(color & 0xFF) / 255.0f;
    rgba[3] = static_cast<float>((color >> 24) & 0xFF) / 255.0f;
}

}  // namespace Platform::D3D9
