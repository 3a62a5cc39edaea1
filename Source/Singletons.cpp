#include "Singletons.h"

#include "cApplication.h"
#include "cInput.h"
#include "cScriptManager.h"

namespace Vorel {

void CreateSingletons() {
    cInput::Create();
    cScriptManager::Create();
    cApplication::Create();
}

// The Lua state closes first; the application object goes last.
void DestroySingletons() {
    cScriptManager::Destroy();
    cInput::Destroy();
    cApplication::Destroy();
}

}  // namespace Vorel
