#include "RenderPackets.h"

namespace Vorel::Graphics {

D3DCOLOR ToD3DColor(const D3DXCOLOR& color) {
    // D3DX's own conversion is this one.
    return color;
}

}  // namespace Vorel::Graphics
