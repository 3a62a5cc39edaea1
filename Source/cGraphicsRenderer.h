#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <memory>

#include "RenderPackets.h"
#include "cEffectsManager.h"

namespace Vorel::Graphics {

// The Direct3D device with its fixed render state, the projection and view,
// the line drawer and the effects; draws the packets it is handed.
class cGraphicsRenderer {
public:
    struct DeviceCaps {
        uint32_t m_capsFlags = 0;
    };

    cGraphicsRenderer() = default;
    ~cGraphicsRenderer();
    cGraphicsRenderer(const cGraphicsRenderer&) = delete;
    cGraphicsRenderer& operator=(const cGraphicsRenderer&) = delete;

    // False, with one trace line, when no device could be made. The back
    // buffer is the device window's client area (1024 x 768 without one).
    bool Init();
    // A back buffer of `width` x `height`: the line and the effects are
    // told before and after the device's Reset, and the render state is set
    // again. False, with one trace line, when the device cannot take it.
    bool Resize(UINT width, UINT height);
    UINT Width() const { return m_D3DPP.BackBufferWidth; }
    UINT Height() const { return m_D3DPP.BackBufferHeight; }
    // The depth range of the next SetPerspective: 1 to 5000 unless the
    // graphics system chose others for the model on screen.
    void SetDepthRange(float zNear, float zFar);
    // Perspective (the viewer's), or orthographic `height` units high when
    // `height` is above 0.
    void SetPerspective();
    void SetOrthographic(float height) { m_orthographic = height; }
    // The colour each frame starts from.
    void SetBackground(D3DCOLOR colour) { m_background = colour; }
    void BeginFrame();
    void DrawModelPacket(const ModelPacket* _packet);
    void DrawLine(D3DXVECTOR3 from, D3DXVECTOR3 to, D3DXCOLOR colour);
    void DrawTextPacket(TextPacket* _packet);
    HRESULT EndFrame();

    cEffectsManager* GetEffectsManager() const { return m_effectsManager.get(); }

    LPDIRECT3D9 m_D3DObject = nullptr;
    LPDIRECT3DDEVICE9 m_D3DDevice = nullptr;
    D3DPRESENT_PARAMETERS m_D3DPP{};
    DeviceCaps m_D3DDeviceCaps;
    D3DXMATRIX m_projectionMatrix;
    D3DXMATRIX m_viewMatrix;
    LPD3DXLINE m_D3DLine = nullptr;

private:
    void CheckDeviceCaps();
    // The render state the viewer draws with, which a reset clears.
    void SetRenderState();

    std::unique_ptr<cEffectsManager> m_effectsManager;
    // Shared by every model packet of the run; unset until the first.
    bool m_stampSet = false;
    DWORD m_animationStamp = 0;
    float m_zNear = 1.0f, m_zFar = 5000.0f;
    float m_orthographic = 0;
    D3DCOLOR m_background = 0xFF000032;
    bool m_tracedNoEffect = false;
    bool m_tracedSingular = false;
};

}  // namespace Vorel::Graphics
