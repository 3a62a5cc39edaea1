#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RenderPackets.h"
#include "Singleton.h"
#include "cCamera.h"
#include "cCameraCom.h"
#include "cComponentFactory.h"
#include "cFontManager.h"
#include "cGraphics3DCom.h"
#include "cGraphicsRenderer.h"
#include "cModelLoader.h"
#include "cViewTools.h"

namespace Vorel {

namespace Graphics {
class cGraphics3DComFactory : public cComponentFactory<cGraphics3DCom> {};
class cCameraComFactory : public cComponentFactory<cCameraCom> {};
}  // namespace Graphics

// The graphics system: the component factories whose maps describe the
// scene, the renderer, the camera record, the model store and the fonts.
// It renders whole frames, loads models, steers the current model's
// animation and queues text for the next frame.
class cGraphicsManager : public cSingleton<cGraphicsManager> {
public:
    ~cGraphicsManager();

    // False when the renderer cannot start (no device).
    bool Init();
    // The model of the file, made current, with the cameras placed before
    // it; a file that does not load gives a frameless model and changes
    // nothing. A Graphics3D component shows it under cModelLoader::Key.
    cModel* LoadModel(const std::string& path, const std::string& name);
    // The file's model read again in place of the stored one (current if
    // that was), with its view carried over and the cameras left where they
    // are; null, changing nothing, when the new version does not load.
    cModel* ReloadModel(const std::string& path, const std::string& name);
    void RenderFrame();
    // Lets the store go of every model but the current one that no
    // Graphics3D component shows.
    void ReleaseUnshownModels();
    // The back buffer made `width` x `height` (a window's new client
    // area), the fonts, lines and effects told before and after; the model,
    // the camera and the views stay. False when the device cannot take it.
    bool Resize(UINT width, UINT height);
    // The back buffer's size: 1024 x 768 until a device says otherwise.
    UINT Width() const {
        return m_renderer != nullptr && m_renderer->Width() > 0 ? m_renderer->Width() : 1024;
    }
    UINT Height() const {
        return m_renderer != nullptr && m_renderer->Height() > 0 ? m_renderer->Height() : 768;
    }
    void QueueText(int32_t x, int32_t y, const std::string& text, const std::string& fontName,
                   const D3DXCOLOR& colour, DWORD flags);
    // Draws at once: only while a frame's scene is open.
    void DrawLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, const D3DXCOLOR& colour);

    void NextAnimationSet();
    // Plays set `set` from its start; a set the model does not have changes nothing.
    void SelectAnimationSet(uint32_t set);
    // Pauses the animation at `ticks` of its set, where the next frame poses
    // it; TogglePause plays on from there.
    void SeekAnimation(float ticks);
    void ToggleSkeleton();
    void AdjustSpeed(float delta);
    void TogglePause();
    void SetFillMode(int32_t mode) { m_fillMode = mode; }
    // Orthographic, `height` units high, from the next frame on; 0 for the
    // perspective.
    void SetOrthographic(float height) {
        if (m_renderer != nullptr) m_renderer->SetOrthographic(height);
    }
    void SetBackground(D3DCOLOR colour) {
        if (m_renderer != nullptr) m_renderer->SetBackground(colour);
    }

    Graphics::cGraphics3DComFactory* GetGraphics3DFactory() const { return m_graphics3DFactory; }
    Graphics::cCameraComFactory* GetCameraFactory() const { return m_cameraFactory; }
    cModel* GetCurrentModel() const { return m_currentModel; }
    const cModelLoader* GetModelStore() const { return m_modelLoader.get(); }
    int32_t GetFillMode() const { return m_fillMode; }
    Graphics::cGraphicsRenderer* GetRenderer() const { return m_renderer.get(); }
    Graphics::cFontManager* GetFontManager() const { return m_fontManager.get(); }
    const Graphics::cCamera* GetCamera() const { return m_camera.get(); }
    cViewTools* GetViewTools() const { return m_viewTools.get(); }

    // The near and far planes for a model's bounding sphere seen from
    // `eye`: 1 and 5000 while the sphere lies between them, otherwise planes
    // that hold the whole sphere with the same far-to-near ratio at most.
    static std::pair<float, float> DepthRange(const D3DXVECTOR3& eye, const D3DXVECTOR3& centre,
                                              float radius);

private:
    void UpdateCamera();
    void DrawModels();
    void DrawTexts();
    // The depth range for the current model where it stands.
    std::pair<float, float> CurrentDepthRange() const;

    // Owned by the factory registry.
    Graphics::cGraphics3DComFactory* m_graphics3DFactory = nullptr;
    Graphics::cCameraComFactory* m_cameraFactory = nullptr;
    std::unique_ptr<Graphics::cCamera> m_camera;
    std::unique_ptr<Graphics::cGraphicsRenderer> m_renderer;
    std::unique_ptr<cModelLoader> m_modelLoader;
    std::unique_ptr<Graphics::cFontManager> m_fontManager;
    std::unique_ptr<cViewTools> m_viewTools;
    int32_t m_fillMode = D3DFILL_SOLID;
    cModel* m_currentModel = nullptr;
    float m_savedSpeed = 0.0f;
    // The model pass's one packet and its matrices, refilled per component.
    Graphics::ModelPacket m_packet;
    D3DXMATRIX m_translation, m_rotation, m_scale;
    std::vector<const std::string*> m_shownKeys;  // kept from frame to frame
};

}  // namespace Vorel
