#include "win32/DisplayConnection.h"

#include <windows.h>
// Xlib's macros (None, Bool, Status) after the platform's own names.
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VOREL_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOREL_LEAK_CHECKED 1
#endif
#endif

namespace Platform {
namespace {

int DisplayLost(Display* display) {
    const char* name = display != nullptr ? DisplayString(display) : nullptr;
    OutputDebugStringA(("lost the connection to the display " + std::string(name != nullptr ? name : "") +
                        ": the program ends\n")
                           .c_str());
    // Nothing that may talk to the server runs: no exit handlers, no
    // destructors.
    _exit(1);
}

}  // namespace

void EndWhenDisplayIsLost() {
    XSetIOErrorHandler(DisplayLost);
}

#if VOREL_LEAK_CHECKED
// SDL unloads the driver when video stops, and the driver's allocations for
// itself would then be reported as leaked, from a library nobody can name
// any more. Kept loaded, they are reachable from the driver's own data, and
// what is not is named by the suppressions below.
void KeepDriverLoaded() {
    static bool kept = false;
    if (kept) return;
    kept = true;
    std::vector<std::string> loaded;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* names) {
            if (info->dlpi_name != nullptr && *info->dlpi_name != '\0')
                static_cast<std::vector<std::string>*>(names)->push_back(info->dlpi_name);
            return 0;
        },
        &loaded);
    // Opened again outside the walk, which holds the loader's lock.
    for (const std::string& name : loaded)
        dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}
#else
void KeepDriverLoaded() {}
#endif

}  // namespace Platform

#if VOREL_LEAK_CHECKED
// What the graphics driver keeps for the life of the process (Mesa's EGL,
// GLX and DRI drivers, the gallium and LLVM libraries they load) is not a
// leak of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libEGL_mesa.so\n"
           "leak:libGLX_mesa.so\n"
           "leak:_dri.so\n"
           "leak:libgallium\n"
           "leak:libglapi.so\n"
           "leak:libLLVM\n";
}
#endif
