#pragma once

#include "Singleton.h"
#include "cCameraCom.h"
#include "cComponentFactory.h"
#include "cGraphics3DCom.h"

namespace Vorel {

namespace Graphics {
class cGraphics3DComFactory : public cComponentFactory<cGraphics3DCom> {};
class cCameraComFactory : public cComponentFactory<cCameraCom> {};
}  // namespace Graphics

// The graphics system. So far: the two component factories it makes and
// registers, through which objects get their Graphics3D and Camera
// components.
class cGraphicsManager : public cSingleton<cGraphicsManager> {
public:
    bool Init();
    Graphics::cGraphics3DComFactory* GetGraphics3DFactory() const { return m_graphics3DFactory; }
    Graphics::cCameraComFactory* GetCameraFactory() const { return m_cameraFactory; }

private:
    // Owned by the factory registry.
    Graphics::cGraphics3DComFactory* m_graphics3DFactory = nullptr;
    Graphics::cCameraComFactory* m_cameraFactory = nullptr;
};

}  // namespace Vorel
