// The entry point: start-up, the message loop, shutdown. Exit code 0 after a
// normal run, -1 when start-up fails. A model path on the command line is
// opened once start-up is done; --help and --version are answered before
// any window is made.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Directories.h"
#include "Singletons.h"
#include "cApplication.h"
#include "cModelViewer.h"
#include "cWindow.h"

using namespace Vorel;

namespace {

constexpr const char* kHelp =
    "usage: vorel [MODEL.x]\n"
    "       vorel --help | --version\n"
    "Plays the animation sets of a skinned .x model. A model is opened from the command line,\n"
    "with File > Open, or by dropping its file on the window.\n"
    "\n"
    "keys: W / S camera nearer / farther, A / D around, R / F up / down, Tab back to the start,\n"
    "      Space next animation set, 1 / 2 / 3 points / wireframe / solid, 4 skeleton,\n"
    "      - / + speed down / up, Pause pause, Escape quit;\n"
    "      the left mouse button drags the camera around, the wheel moves it nearer or farther.\n";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*showCommand*/) {
    if (commandLine != nullptr && std::strcmp(commandLine, "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (commandLine != nullptr && std::strcmp(commandLine, "--version") == 0) {
        std::printf("vorel %s\n", VOREL_VERSION);
        return 0;
    }
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
