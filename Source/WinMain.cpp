// The entry point: start-up, the message loop, shutdown. Exit code 0 after a
// normal run, -1 when start-up fails. A model path on the command line is
// opened once start-up is done.
#include <windows.h>

#include <string>

#include "Directories.h"
#include "Singletons.h"
#include "cApplication.h"
#include "cModelViewer.h"
#include "cWindow.h"

using namespace Vorel;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*showCommand*/) {
    cWindow* window = cWindow::Instance();
    if (!window->Init(instance, "Vorel - Penwick - Lumen1")) return -1;
    // Shown normally whatever the launch asked: showing also makes it the
    // active window, which the renderer takes as its device window.
    window->Show(SW_SHOWNORMAL);

    CreateSingletons();
    // A failed initialisation ends the run at once; the platform reclaims
    // what was made.
    if (!cApplication::Instance()->Init()) return -1;

    // A model named on the command line opens as if chosen in File > Open.
    if (commandLine != nullptr && *commandLine != '\0') {
        std::string path = commandLine;
        if (path[0] != '/') path = GetStartDirectory() + "/" + path;
        cModelViewer::Instance()->LoadModel(path, path.substr(path.find_last_of("/\\") + 1));
    }

    window->Run();

    DestroySingletons();
    cWindow::Destroy();
    return 0;
}
