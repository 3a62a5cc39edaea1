// The object-file loader: an archetype read from the input, with its
// attributes and components, and an instance cloned from it.
#include <cstdlib>
#include <filesystem>

#include "DeviceWindow.h"
#include "FuzzSupport.h"
#include "cFactoryManager.h"
#include "cGraphicsManager.h"
#include "cMemoryManager.h"
#include "cObjectGroup.h"
#include "cObjectManager.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    VorelFuzz::Quiet();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::filesystem::create_directories(VorelFuzz::ScratchFolder() + "/Assets/XML/Objects");
    std::filesystem::current_path(VorelFuzz::ScratchFolder());
    Vorel::cMemoryManager::Create();
    Vorel::cObjectManager::Create();
    Vorel::cFactoryManager::Create();
    // The graphics system registers the component factories; its device
    // is made on the active window.
    if (VorelTest::DeviceWindow() == nullptr) std::abort();
    if (!Vorel::cGraphicsManager::Instance()->Init()) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VorelFuzz::Quiet();
    if (!VorelFuzz::WriteInput("Assets/XML/Objects/Fuzz.xml", data, size)) return 0;
    Vorel::cObjectGroup group;  // gives back every object and archetype
    group.CreateObject("Fuzz");
    group.CreateObject("Fuzz");
    return 0;
}
