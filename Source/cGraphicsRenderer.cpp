#include "cGraphicsRenderer.h"

#include <iterator>

#include "CheckedCall.h"

namespace Vorel::Graphics {
namespace {

// The parameters the model pass sets, by their names in the effect list.
enum Handle {
    kEyePos,
    kLightVec,
    kSpecLight,
    kAmbientLight,
    kLightColor,
    kPipelineMtx,
    kWorldMtx,
    kWorldITMtx
};
// How much nearer, in depth from 0 to 1, the wireframe over a solid
// surface is drawn.
constexpr float kWireDepthBias = 2e-4f;

constexpr const char* kHandleNames[] = {"EyePos",     "LightVec",    "SpecLight", "AmbientLight",
                                        "LightColor", "PipelineMtx", "WorldMtx",  "WorldITMtx"};

}  // namespace

cGraphicsRenderer::~cGraphicsRenderer() {
    if (m_D3DObject != nullptr) m_D3DObject->Release();
    m_D3DObject = nullptr;
    if (m_D3DDevice != nullptr) m_D3DDevice->Release();
    m_D3DDevice = nullptr;
    if (m_D3DLine != nullptr) m_D3DLine->Release();
    m_D3DLine = nullptr;
    m_effectsManager.reset();
}

void cGraphicsRenderer::CheckDeviceCaps() {
    D3DDISPLAYMODE _mode{};
    m_D3DObject->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &_mode);
    CHECKED(
        m_D3DObject->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, _mode.Format, _mode.Format, true));
    CHECKED(m_D3DObject->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8,
                                         false));
    D3DCAPS9 _caps{};
    CHECKED(m_D3DObject->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &_caps));
    m_D3DDeviceCaps.m_capsFlags |= (_caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                                       ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                       : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
}

bool cGraphicsRenderer::Init() {
    m_D3DObject = Direct3DCreate9(D3D_SDK_VERSION);
    if (m_D3DObject == nullptr) {
        OutputDebugStringA("cannot start Direct3D: Direct3DCreate9 gave nothing\n");
        return false;
    }
    CheckDeviceCaps();
    RECT client{0, 0, 1024, 768};
    if (!GetClientRect(GetActiveWindow(), &client) || client.right <= 0 || client.bottom <= 0)
        client = {0, 0, 1024, 768};
    m_D3DPP.BackBufferWidth = static_cast<UINT>(client.right);
    m_D3DPP.BackBufferHeight = static_cast<UINT>(client.bottom);
    m_D3DPP.BackBufferFormat = D3DFMT_X8R8G8B8;
    m_D3DPP.BackBufferCount = 1;
    m_D3DPP.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_D3DPP.MultiSampleQuality = 0;
    m_D3DPP.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_D3DPP.hDeviceWindow = GetActiveWindow();
    m_D3DPP.Windowed = TRUE;
    m_D3DPP.EnableAutoDepthStencil = TRUE;
    m_D3DPP.AutoDepthStencilFormat = D3DFMT_D24S8;
    m_D3DPP.Flags = 0;
    m_D3DPP.FullScreen_RefreshRateInHz = 0;
    m_D3DPP.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    CHECKED(m_D3DObject->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_D3DPP.hDeviceWindow,
                                      m_D3DDeviceCaps.m_capsFlags, &m_D3DPP, &m_D3DDevice));
    // Nothing can be drawn without a device: start-up ends here.
    if (m_D3DDevice == nullptr) {
        OutputDebugStringA("cannot create the Direct3D device: the viewer cannot draw and stops\n");
        return false;
    }
    SetRenderState();
    CHECKED(D3DXCreateLine(m_D3DDevice, &m_D3DLine));
    m_effectsManager = std::make_unique<cEffectsManager>(m_D3DDevice);
    m_effectsManager->LoadEffects();
    return true;
}

void cGraphicsRenderer::SetRenderState() {
    CHECKED(m_D3DDevice->SetRenderState(D3DRS_LIGHTING, FALSE));
    CHECKED(m_D3DDevice->SetRenderState(D3DRS_ZENABLE, TRUE));
    CHECKED(m_D3DDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE));
    CHECKED(m_D3DDevice->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(250, 250, 250)));
}

bool cGraphicsRenderer::Resize(UINT width, UINT height) {
    if (m_D3DDevice == nullptr) return false;
    if (width == m_D3DPP.BackBufferWidth && height == m_D3DPP.BackBufferHeight) return true;
    D3DPRESENT_PARAMETERS parameters = m_D3DPP;
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    if (m_D3DLine != nullptr) m_D3DLine->OnLostDevice();
    m_effectsManager->OnLostDevice();
    const bool reset = SUCCEEDED(CHECKED(m_D3DDevice->Reset(&parameters)));
    if (reset) m_D3DPP = parameters;
    if (m_D3DLine != nullptr) m_D3DLine->OnResetDevice();
    m_effectsManager->OnResetDevice();
    SetRenderState();
    return reset;
}

void cGraphicsRenderer::SetDepthRange(float zNear, float zFar) {
    m_zNear = zNear;
    m_zFar = zFar;
}

void cGraphicsRenderer::SetPerspective() {
    const float aspect =
        static_cast<float>(m_D3DPP.BackBufferWidth) / static_cast<float>(m_D3DPP.BackBufferHeight);
    if (m_orthographic > 0)
        D3DXMatrixOrthoLH(&m_projectionMatrix, m_orthographic * aspect, m_orthographic, m_zNear, m_zFar);
    else
        D3DXMatrixPerspectiveFovLH(&m_projectionMatrix, D3DX_PI / 4.0f, aspect, m_zNear, m_zFar);
    m_D3DDevice->SetTransform(D3DTS_PROJECTION, &m_projectionMatrix);
}

void cGraphicsRenderer::BeginFrame() {
    m_D3DDevice->SetTransform(D3DTS_VIEW, &m_viewMatrix);
    m_D3DDevice->BeginScene();
    m_D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, m_background, 1.0f,
                       0);
}

void cGraphicsRenderer::DrawModelPacket(const ModelPacket* _packet) {
    LPD3DXEFFECT _effect = m_effectsManager->GetEffect("Phong");
    // Each handle looked up once for the packet; the pass draws only with
    // all of them.
    const D3DXHANDLE technique = m_effectsManager->GetHandle("Phong", "LightTechnique");
    D3DXHANDLE handles[std::size(kHandleNames)];
    bool complete = _effect != nullptr && technique != nullptr;
    for (size_t i = 0; i < std::size(kHandleNames); ++i) {
        handles[i] = m_effectsManager->GetHandle("Phong", kHandleNames[i]);
        complete = complete && handles[i] != nullptr;
    }
    if (complete) {
        CHECKED(_effect->SetTechnique(m_effectsManager->GetHandle("Phong", "LightTechnique")));
        const float eye[3] = {0, 300, 0}, light[3] = {0, -1, 0};
        const float specular[4] = {0.4f, 0.4f, 0.4f, 1.0f}, ambient[4] = {0.6f, 0.6f, 0.6f, 1.0f},
                    colour[4] = {0.8f, 0.8f, 0.8f, 1.0f};
        _effect->SetValue(handles[kEyePos], eye, 12);
        _effect->SetValue(handles[kLightVec], light, 12);
        _effect->SetValue(handles[kSpecLight], specular, 16);
        _effect->SetValue(handles[kAmbientLight], ambient, 16);
        _effect->SetValue(handles[kLightColor], colour, 16);
    } else if (!m_tracedNoEffect) {
        OutputDebugStringA(
            "the \"Phong\" effect, its technique or one of its parameters is missing: models are not "
            "drawn\n");
        m_tracedNoEffect = true;
    }

    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    D3DXMatrixMultiply(&world, &world, _packet->m_scaleMatrix);
    D3DXMatrixMultiply(&world, &world, _packet->m_rotationMatrix);
    D3DXMatrixMultiply(&world, &world, _packet->m_translationMatrix);
    m_D3DDevice->SetTransform(D3DTS_WORLD, &world);
    D3DXMATRIX pipeline = world * m_viewMatrix * m_projectionMatrix;
    D3DXMATRIX worldIT;
    // A world of scale 0 has no inverse: nothing is drawn, and no value
    // that is not a number reaches the effect.
    const bool invertible = D3DXMatrixInverse(&worldIT, nullptr, &world) != nullptr;
    if (invertible) {
        D3DXMatrixTranspose(&worldIT, &worldIT);
        if (complete) {
            _effect->SetMatrix(handles[kPipelineMtx], &pipeline);
            _effect->SetMatrix(handles[kWorldMtx], &world);
            _effect->SetMatrix(handles[kWorldITMtx], &worldIT);
        }
    } else if (!m_tracedSingular) {
        OutputDebugStringA("a model placed with a singular world matrix (scale 0) is not drawn\n");
        m_tracedSingular = true;
    }
    const bool wireOver = _packet->m_fillMode == kFillSolidWireframe;
    CHECKED(m_D3DDevice->SetRenderState(D3DRS_FILLMODE, wireOver ? D3DFILL_SOLID : _packet->m_fillMode));
    CHECKED(m_D3DDevice->SetRenderState(
        D3DRS_CULLMODE, _packet->m_backFaces == BackFaces::kShow ? D3DCULL_NONE : D3DCULL_CCW));
    if (_packet->m_model == nullptr) return;

    // One stamp for every packet: the first packet of a frame gets the time
    // since the previous frame's last one.
    if (!m_stampSet) {
        m_animationStamp = timeGetTime();
        m_stampSet = true;
    }
    const DWORD elapsed = timeGetTime() - m_animationStamp;
    m_animationStamp = timeGetTime();
    _packet->m_model->AdvanceClock(static_cast<float>(elapsed));
    _packet->m_model->Update(_packet->m_model->m_time);
    if (!complete || !invertible) return;
    // The extra passes first, over the same pose: the back faces alone in
    // red, and the wireframe in black drawn a little nearer than the
    // surface it lies on, so that the surface never hides it.
    const D3DXHANDLE tint = m_effectsManager->GetHandle("Phong", "Tint");
    const float none[4] = {0, 0, 0, 0}, backTint[4] = {0.85f, 0.1f, 0.1f, 0.6f}, wireTint[4] = {0, 0, 0, 1};
    if (_packet->m_backFaces == BackFaces::kTint) {
        m_D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        _effect->SetValue(tint, backTint, 16);
        _packet->m_model->DrawMeshes(m_effectsManager.get(), _effect);
        m_D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    }
    if (wireOver) {
        D3DXMATRIX nearer;
        D3DXMatrixIdentity(&nearer);
        nearer._43 = -kWireDepthBias;  // depth, once divided by w, less by that much
        const D3DXMATRIX biased = m_projectionMatrix * nearer;
        m_D3DDevice->SetTransform(D3DTS_PROJECTION, &biased);
        m_D3DDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        _effect->SetValue(tint, wireTint, 16);
        _packet->m_model->DrawMeshes(m_effectsManager.get(), _effect);
        m_D3DDevice->SetTransform(D3DTS_PROJECTION, &m_projectionMatrix);
        m_D3DDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    }
    _effect->SetValue(tint, none, 16);
    _packet->m_model->Draw(m_effectsManager.get(), _effect);
}

void cGraphicsRenderer::DrawLine(D3DXVECTOR3 from, D3DXVECTOR3 to, D3DXCOLOR colour) {
    if (m_D3DLine == nullptr) return;
    const D3DXMATRIX _viewProj = m_viewMatrix * m_projectionMatrix;
    const D3DCOLOR _color = ToD3DColor(colour);
    const D3DXVECTOR3 _points[2] = {from, to};
    CHECKED(m_D3DLine->DrawTransform(_points, 2, &_viewProj, _color));
}

void cGraphicsRenderer::DrawTextPacket(TextPacket* _packet) {
    if (_packet->m_font == nullptr) return;  // the font manager said so when it was queued
    // As the trace line quotes the call.
    // clang-format off
    CHECKED(_packet->m_font->DrawText(NULL, _packet->m_text.c_str(), -1, & _packet->m_rect, _packet->m_flags | DT_NOCLIP, _packet->m_color));
    // clang-format on
}

HRESULT cGraphicsRenderer::EndFrame() {
    m_D3DDevice->EndScene();
    return m_D3DDevice->Present(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace Vorel::Graphics
