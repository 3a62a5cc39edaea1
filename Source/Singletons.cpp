#include "Singletons.h"

#include "cApplication.h"
#include "cFactoryManager.h"
#include "cGraphicsManager.h"
#include "cInput.h"
#include "cMemoryManager.h"
#include "cModelViewer.h"
#include "cObjectManager.h"
#include "cScriptManager.h"

namespace Vorel {

void CreateSingletons() {
    cMemoryManager::Create();
    cModelViewer::Create();
    cObjectManager::Create();
    cFactoryManager::Create();
    cGraphicsManager::Create();
    cInput::Create();
    cScriptManager::Create();
    cApplication::Create();
}

// The Lua state closes first. Objects go before the factories their
// components belong to and the pools their blocks come from; the
// application object goes last.
void DestroySingletons() {
    cScriptManager::Destroy();
    cModelViewer::Destroy();
    cGraphicsManager::Destroy();
    cInput::Destroy();
    cObjectManager::Destroy();
    cFactoryManager::Destroy();
    cMemoryManager::Destroy();
    cApplication::Destroy();
}

}  // namespace Vorel
