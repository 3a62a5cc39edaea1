#include "cGraphicsManager.h"

#include <algorithm>
#include <cmath>

#include "cFactoryManager.h"

namespace Vorel {
namespace {

constexpr float kNear = 1.0f, kFar = 5000.0f;

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The placement of a component's object, as its model packet carries it.
void Placement(const Graphics::cGraphics3DCom& component, D3DXMATRIX* translation, D3DXMATRIX* rotation,
               D3DXMATRIX* scale) {
    const D3DXVECTOR3& p = component.m_positionAttr->m_position;
    D3DXMatrixTranslation(translation, p.x, p.y, p.z);
    const float(&r)[3][3] = component.m_rotationAttr->m_rotation;
    *rotation = D3DXMATRIX(r[0][0], r[0][1], r[0][2], 0, r[1][0], r[1][1], r[1][2], 0, r[2][0], r[2][1],
                           r[2][2], 0, 0, 0, 0, 1);
    const float s = component.m_modelAttr->m_scale;
    D3DXMatrixScaling(scale, s, s, s);
}

}  // namespace

cGraphicsManager::~cGraphicsManager() {
    m_camera.reset();
    m_viewTools.reset();
    m_renderer.reset();
    m_modelLoader.reset();
    m_fontManager.reset();
}

bool cGraphicsManager::Init() {
    m_graphics3DFactory = new Graphics::cGraphics3DComFactory();
    m_cameraFactory = new Graphics::cCameraComFactory();
    cFactoryManager* registry = cFactoryManager::Instance();
    // A registry that already has a factory under the id keeps its own; it
    // is used if it is of the right class, and otherwise there is none.
    if (!registry->RegisterFactory(kGraphics3DComponent, m_graphics3DFactory)) {
        delete m_graphics3DFactory;
        m_graphics3DFactory =
            dynamic_cast<Graphics::cGraphics3DComFactory*>(registry->GetFactory(kGraphics3DComponent));
    }
    if (!registry->RegisterFactory(kCameraComponent, m_cameraFactory)) {
        delete m_cameraFactory;
        m_cameraFactory = dynamic_cast<Graphics::cCameraComFactory*>(registry->GetFactory(kCameraComponent));
    }
    m_camera = std::make_unique<Graphics::cCamera>();
    m_renderer = std::make_unique<Graphics::cGraphicsRenderer>();
    m_modelLoader = std::make_unique<cModelLoader>();
    m_fontManager = std::make_unique<Graphics::cFontManager>();
    m_viewTools = std::make_unique<cViewTools>();
    if (!m_renderer->Init()) return false;
    m_modelLoader->SetDevice(m_renderer->m_D3DDevice);
    if (!m_fontManager->Init(m_renderer->m_D3DDevice)) return false;
    m_viewTools->Init(m_renderer->m_D3DDevice, m_renderer->m_D3DLine);
    m_fillMode = D3DFILL_SOLID;
    return true;
}

cModel* cGraphicsManager::LoadModel(const std::string& path, const std::string& name) {
    cModel* loaded = m_modelLoader->LoadModel(path, name);
    // A file that did not load leaves the model on screen where it is.
    if (loaded->m_frameRoot == nullptr) return loaded;
    m_currentModel = loaded;
    if (m_viewTools != nullptr) m_viewTools->ModelChanged(loaded, false);
    const D3DXVECTOR3& c = m_currentModel->m_sphereCenter;
    const float r = m_currentModel->m_sphereRadius;
    if (m_cameraFactory != nullptr)
        for (const auto& [id, camera] : m_cameraFactory->GetComponents())
            if (!camera->m_isArchetype && camera->m_positionAttr != nullptr)
                camera->m_positionAttr->m_position = D3DXVECTOR3(0, c.y, -(r * 3));
    return m_currentModel;
}

cModel* cGraphicsManager::ReloadModel(const std::string& path, const std::string& name) {
    const bool current =
        m_currentModel != nullptr && m_currentModel == m_modelLoader->FindModel(cModelLoader::Key(path));
    cModel* reloaded = m_modelLoader->ReloadModel(path, name);
    if (reloaded != nullptr && current) {
        m_currentModel = reloaded;
        if (m_viewTools != nullptr) m_viewTools->ModelChanged(reloaded, true);
    }
    return reloaded;
}

void cGraphicsManager::ReleaseUnshownModels() {
    if (m_modelLoader == nullptr || m_graphics3DFactory == nullptr) return;
    m_shownKeys.clear();
    for (const auto& [id, component] : m_graphics3DFactory->GetComponents())
        if (!component->m_isArchetype && component->m_modelAttr != nullptr)
            m_shownKeys.push_back(&component->m_modelAttr->m_meshFile);
    m_modelLoader->ReleaseAllBut(m_shownKeys, m_currentModel);
}

void cGraphicsManager::RenderFrame() {
    LPDIRECT3DDEVICE9 device = m_renderer != nullptr ? m_renderer->m_D3DDevice : nullptr;
    const HRESULT level = device != nullptr ? device->TestCooperativeLevel() : D3DERR_INVALIDCALL;
    if (level == D3DERR_DEVICELOST || level == D3DERR_DRIVERINTERNALERROR || device == nullptr) {
        // A frame that draws nothing leaves no texts behind: a minimised
        // window would otherwise pile up every frame's, all drawn at once
        // on restore.
        if (m_fontManager != nullptr) m_fontManager->ClearTextQueue();
        if (level == D3DERR_DEVICELOST) Sleep(20);
        return;
    }
    // The camera first: the depth range follows the model as seen from it.
    UpdateCamera();
    const auto [zNear, zFar] = CurrentDepthRange();
    m_renderer->SetDepthRange(zNear, zFar);
    m_renderer->SetPerspective();
    m_renderer->m_viewMatrix = m_camera->m_viewMatrix;
    m_renderer->BeginFrame();
    if (m_viewTools != nullptr) m_viewTools->Prepare(m_currentModel);
    DrawModels();
    if (m_viewTools != nullptr)
        m_viewTools->Draw(m_currentModel, m_renderer->m_viewMatrix * m_renderer->m_projectionMatrix,
                          static_cast<int>(m_renderer->m_D3DPP.BackBufferWidth),
                          static_cast<int>(m_renderer->m_D3DPP.BackBufferHeight),
                          m_fontManager->GetTextQueue());
    DrawTexts();
    m_renderer->EndFrame();
}

bool cGraphicsManager::Resize(UINT width, UINT height) {
    if (m_renderer == nullptr || m_renderer->m_D3DDevice == nullptr || width == 0 || height == 0)
        return false;
    m_fontManager->OnLostDevice();
    m_viewTools->OnLostDevice();
    const bool resized = m_renderer->Resize(width, height);
    m_fontManager->OnResetDevice();
    m_viewTools->OnResetDevice();
    return resized;
}

void cGraphicsManager::UpdateCamera() {
    if (m_cameraFactory == nullptr) return;
    Graphics::cCamera& camera = *m_camera;
    for (const auto& [id, component] : m_cameraFactory->GetComponents()) {
        if (component->m_isArchetype || component->m_positionAttr == nullptr ||
            component->m_orientationAttr == nullptr)
            continue;
        camera.m_eye = component->m_positionAttr->m_position;
        camera.m_direction = component->m_orientationAttr->m_view;
        camera.m_side = Cross(camera.m_direction, camera.m_worldUp);
        // Looking straight up or down, the world's up gives no side: the
        // picture's up is then the model's back (+z), as 3D tools have it.
        if (camera.m_side.x == 0 && camera.m_side.y == 0 && camera.m_side.z == 0)
            camera.m_side = Cross(camera.m_direction, D3DXVECTOR3(0, 0, 1));
        camera.m_up = Cross(camera.m_side, camera.m_direction);
        const D3DXVECTOR3 target = camera.m_eye + camera.m_direction;
        D3DXMatrixLookAtLH(&camera.m_viewMatrix, &camera.m_eye, &target, &camera.m_up);
    }
}

std::pair<float, float> cGraphicsManager::DepthRange(const D3DXVECTOR3& eye, const D3DXVECTOR3& centre,
                                                     float radius) {
    const D3DXVECTOR3 d = centre - eye;
    const float distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(radius > 0) || !std::isfinite(radius) || !std::isfinite(distance)) return {kNear, kFar};
    const float nearest = distance - radius, farthest = distance + radius;
    if (nearest >= kNear && farthest <= kFar) return {kNear, kFar};
    // A little room either side, and never more depth per unit of range
    // than 1 to 5000 gives.
    const float zFar = farthest * 1.01f;
    const float zNear = std::max(nearest * 0.99f, zFar / (kFar / kNear));
    return {zNear, zFar};
}

std::pair<float, float> cGraphicsManager::CurrentDepthRange() const {
    if (m_currentModel == nullptr || m_graphics3DFactory == nullptr) return {kNear, kFar};
    // The sphere where the model's object puts it: moved by its whole
    // world transform, grown by the longest axis that stretches.
    for (const auto& [id, component] : m_graphics3DFactory->GetComponents()) {
        if (component->m_isArchetype || component->m_modelAttr == nullptr ||
            component->m_positionAttr == nullptr || component->m_rotationAttr == nullptr ||
            m_modelLoader->FindModel(component->m_modelAttr->m_meshFile) != m_currentModel)
            continue;
        D3DXMATRIX translation, rotation, scale;
        Placement(*component, &translation, &rotation, &scale);
        const D3DXMATRIX world = scale * rotation * translation;
        D3DXVECTOR3 centre;
        D3DXVec3TransformCoord(&centre, &m_currentModel->m_sphereCenter, &world);
        float stretch = 0;
        for (int row = 0; row < 3; ++row)
            stretch = std::max(
                stretch, std::sqrt(world.m[row][0] * world.m[row][0] + world.m[row][1] * world.m[row][1] +
                                   world.m[row][2] * world.m[row][2]));
        return DepthRange(m_camera->m_eye, centre, m_currentModel->m_sphereRadius * stretch);
    }
    return DepthRange(m_camera->m_eye, m_currentModel->m_sphereCenter, m_currentModel->m_sphereRadius);
}

void cGraphicsManager::DrawModels() {
    if (m_graphics3DFactory == nullptr) return;
    m_packet.m_translationMatrix = &m_translation;
    m_packet.m_rotationMatrix = &m_rotation;
    m_packet.m_scaleMatrix = &m_scale;
    for (const auto& [id, component] : m_graphics3DFactory->GetComponents()) {
        if (component->m_isArchetype || component->m_modelAttr == nullptr ||
            component->m_positionAttr == nullptr || component->m_rotationAttr == nullptr)
            continue;
        m_packet.m_model = m_modelLoader->FindModel(component->m_modelAttr->m_meshFile);
        m_packet.m_fillMode = m_fillMode;
        m_packet.m_backFaces =
            m_viewTools != nullptr ? m_viewTools->m_views.backFaces : Graphics::BackFaces::kCull;
        Placement(*component, &m_translation, &m_rotation, &m_scale);
        m_renderer->DrawModelPacket(&m_packet);
    }
}

void cGraphicsManager::DrawTexts() {
    auto& queue = m_fontManager->GetTextQueue();
    while (!queue.empty()) {
        Graphics::TextPacket* packet = queue.back();
        m_renderer->DrawTextPacket(packet);
        delete packet;
        queue.pop_back();
    }
}

void cGraphicsManager::QueueText(int32_t x, int32_t y, const std::string& text, const std::string& fontName,
                                 const D3DXCOLOR& colour, DWORD flags) {
    if (m_fontManager == nullptr) return;
    auto* packet = new Graphics::TextPacket;
    packet->m_font = m_fontManager->GetFont(fontName);
    packet->m_text = text;
    packet->m_rect = {x, y, x, y};
    packet->m_color = colour;
    packet->m_flags = flags;
    m_fontManager->QueueText(packet);
}

void cGraphicsManager::DrawLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, const D3DXCOLOR& colour) {
    if (m_renderer != nullptr) m_renderer->DrawLine(from, to, colour);
}

void cGraphicsManager::NextAnimationSet() {
    if (m_currentModel == nullptr) return;
    const uint32_t next = m_currentModel->m_currentSet + 1;
    m_currentModel->m_currentSet = next < m_currentModel->m_setCount ? next : 0;
    m_currentModel->m_time = 0.0f;
}

void cGraphicsManager::SelectAnimationSet(uint32_t set) {
    if (m_currentModel == nullptr || set >= m_currentModel->m_setCount) return;
    m_currentModel->m_currentSet = set;
    m_currentModel->m_time = 0.0f;
}

void cGraphicsManager::SeekAnimation(float ticks) {
    if (m_currentModel == nullptr) return;
    if (m_currentModel->m_speed > 0) {
        m_savedSpeed = m_currentModel->m_speed;
        m_currentModel->m_speed = 0.0f;
    }
    m_currentModel->m_time = ticks;
}

void cGraphicsManager::ToggleSkeleton() {
    if (m_currentModel != nullptr) m_currentModel->m_showSkeleton = !m_currentModel->m_showSkeleton;
}

void cGraphicsManager::AdjustSpeed(float delta) {
    if (m_currentModel == nullptr) return;
    m_currentModel->m_speed += delta;
    if (m_currentModel->m_speed < 0) m_currentModel->m_speed = 0.0f;
}

void cGraphicsManager::TogglePause() {
    if (m_currentModel == nullptr) return;
    if (m_currentModel->m_speed > 0) {
        m_savedSpeed = m_currentModel->m_speed;
        m_currentModel->m_speed = 0.0f;
    } else {
        m_currentModel->m_speed = m_savedSpeed;
    }
}

}  // namespace Vorel
