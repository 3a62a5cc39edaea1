#include "RenderPackets.h"

namespace Vorel::Graphics {

D3DCOLOR ToD3DColor(const D3DXCOLOR& color) {
    const auto channel = [](float c) -> DWORD {
        if (c >= 1.0f) return 255;
        if (!(c > 0.0f)) return 0;  // a NaN too
        return static_cast<DWORD>(c * 255.0f + 0.5f);
    };
    return channel(color.a) << 24 | channel(color.r) << 16 | channel(color.g) << 8 | channel(color.b);
}

}  // namespace Vorel::Graphics
