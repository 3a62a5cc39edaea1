#include "cGraphicsManager.h"

#include "cFactoryManager.h"

namespace Vorel {

bool cGraphicsManager::Init() {
    m_graphics3DFactory = new Graphics::cGraphics3DComFactory();
    m_cameraFactory = new Graphics::cCameraComFactory();
    cFactoryManager* registry = cFactoryManager::Instance();
    // A registry that already has a factory under the id keeps its own; it
    // is used if it is of the right class, and otherwise there is none.
    if (!registry->RegisterFactory(kGraphics3DComponent, m_graphics3DFactory)) {
        delete m_graphics3DFactory;
        m_graphics3DFactory = dynamic_cast<Graphics::cGraphics3DComFactory*>(registry->GetFactory(kGraphics3DComponent));
    }
    if (!registry->RegisterFactory(kCameraComponent, m_cameraFactory)) {
        delete m_cameraFactory;
        m_cameraFactory = dynamic_cast<Graphics::cCameraComFactory*>(registry->GetFactory(kCameraComponent));
    }
    return true;
}

}  // namespace Vorel
