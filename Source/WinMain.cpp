// The entry point: start-up, the message loop, shutdown. Exit code 0 after a
// normal run, -1 when start-up fails.
#include <windows.h>

#include "Singletons.h"
#include "cApplication.h"
#include "cWindow.h"

using namespace Vorel;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*showCommand*/) {
    cWindow* window = cWindow::Instance();
    if (!window->Init(instance, "Vorel - Penwick - Lumen1")) return -1;
    // Shown normally whatever the launch asked: showing also makes it the
    // active window, which the renderer takes as its device window.
    window->Show(SW_SHOWNORMAL);

    CreateSingletons();
    // A failed initialisation ends the run at once; the platform reclaims
    // what was made.
    if (!cApplication::Instance()->Init()) return -1;

    window->Run();

    DestroySingletons();
    cWindow::Destroy();
    return 0;
}
