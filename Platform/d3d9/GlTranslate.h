// Direct3D 9 state as OpenGL state: small pure translations, kept apart
// from the OpenGL calls so that they can be checked without a context. The
// values are OpenGL's enumerants (the device asserts that they match).
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace Platform::D3D9 {

namespace Gl {
constexpr uint32_t kPoint = 0x1B00, kLine = 0x1B01, kFill = 0x1B02;
constexpr uint32_t kFront = 0x0404, kBack = 0x0405;
constexpr uint32_t kCw = 0x0900, kCcw = 0x0901;
constexpr uint32_t kRgba8 = 0x8058, kDepth24Stencil8 = 0x88F0;
}  // namespace Gl

// glPolygonMode's mode; 0 for a value that is no fill mode.
uint32_t PolygonMode(DWORD fillMode);

// Direct3D's front faces are clockwise on screen, and the back buffer is
// shown the right way up, so the front face is always GL_CW. The face to
// cull: GL_BACK for D3DCULL_CCW, GL_FRONT for D3DCULL_CW, 0 for none (or a
// value that is no cull mode).
constexpr uint32_t kFrontFace = Gl::kCw;
uint32_t CulledFace(DWORD cullMode);

// The indices a triangle list of `triangles` triangles draws.
constexpr uint64_t TriangleListIndices(uint64_t triangles) {
    return triangles * 3;
}

// The colour and depth renderbuffer formats of a back buffer; 0 for a
// format the device cannot make.
uint32_t ColorFormat(D3DFORMAT format);
uint32_t DepthFormat(D3DFORMAT format);

// The four channels of a D3DCOLOR (ARGB in 32 bits) as floats 0..1, in the
// order red, green, blue, alpha.
void ColorChannels(D3DCOLOR color, float rgba[4]);

}  // namespace Platform::D3D9
