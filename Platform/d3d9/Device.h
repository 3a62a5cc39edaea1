// The Direct3D 9 device over OpenGL: it records render states and
// transforms, draws into an off-screen back buffer (colour, 24-bit depth,
// 8-bit stencil) in its window's context, and Present shows that buffer 1:1
// under the window's menu bar.
#pragma once

#include <d3d9.h>
#include <epoxy/gl.h>

#include <utility>
#include <vector>

#include "RefCounted.h"
#include "d3d9/DeviceServices.h"

namespace Platform::D3DX {
class Texture;
}

namespace Platform::D3D9 {

class Device final : public RefCounted<IDirect3DDevice9>, public DeviceServices {
public:
    // D3DERR_NOTAVAILABLE, with a trace saying why, when the window's
    // context cannot hold such a device.
    static HRESULT Create(HWND window, const D3DPRESENT_PARAMETERS& parameters, Device** device);
    static Device* From(IDirect3DDevice9* device) { return dynamic_cast<Device*>(device); }
    ~Device() override;

    HRESULT WINAPI TestCooperativeLevel() override;
    HRESULT WINAPI SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT WINAPI GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT WINAPI SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT WINAPI GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT WINAPI BeginScene() override;
    HRESULT WINAPI EndScene() override;
    HRESULT WINAPI Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                         DWORD stencil) override;
    HRESULT WINAPI Present(const RECT* source, const RECT* destination, HWND window,
                           const RGNDATA* dirty) override;
    HRESULT WINAPI GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                 IDirect3DSurface9** surface) override;
    HRESULT WINAPI Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT WINAPI SetFVF(DWORD fvf) override;
    HRESULT WINAPI DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                                   UINT stride) override;

    HRESULT DrawMeshSubset(D3DX::Mesh& mesh, DWORD attribute) override;

    // For this device's effects, fonts and lines. MakeCurrent is false once
    // the window, and with it the context, is gone.
    bool MakeCurrent();
    // The back buffer as the target, with its whole area as the viewport.
    void BindBackBuffer();
    // Depth test and writes as the render states say; no blending.
    void ApplyDepthState();
    // That, with the fill and cull modes.
    void ApplyTriangleState();
    // The program of the effect pass that is open, 0 for none.
    void UseProgram(GLuint program);
    // The texture's GPU copy, made on first use.
    GLuint TextureName(D3DX::Texture& texture);
    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }
    // The back buffer's pixels, rows top first, bytes blue, green, red, x.
    void ReadBackBuffer(std::vector<uint8_t>* pixels);

private:
    Device(HWND window, UINT width, UINT height, bool depth);
    // The back buffer's storage at that size, cleared to black.
    void Allocate(UINT width, UINT height);
    // The size the parameters ask for in `window`, or 0 x 0 with a trace
    // line naming `call` when it cannot be made.
    static std::pair<UINT, UINT> BackBufferSize(HWND window, const D3DPRESENT_PARAMETERS& parameters,
                                                const char* call);
    // The render states and transforms a new device has.
    void DefaultState();
    void Blit(int drawableWidth, int drawableHeight);

    HWND m_window;
    UINT m_width, m_height;
    bool m_autoDepth;
    GLuint m_framebuffer = 0, m_colour = 0, m_depth = 0;
    GLuint m_program = 0;
    DWORD m_zEnable, m_zWrite = TRUE, m_fill = D3DFILL_SOLID, m_cull = D3DCULL_CCW, m_lighting = TRUE,
                     m_ambient = 0;
    D3DMATRIX m_world, m_view, m_projection;
    DWORD m_fvf = 0;
    // DrawPrimitiveUP's program and the buffer it streams vertices through.
    GLuint m_userProgram = 0, m_userVao = 0, m_userBuffer = 0;
    GLsizeiptr m_userBufferBytes = 0;
    GLint m_userTransform = -1;
    bool m_inScene = false;
    std::vector<uint8_t> m_readBack;
};

}  // namespace Platform::D3D9
