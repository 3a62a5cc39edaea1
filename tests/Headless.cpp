// Linked into every program that draws headless on SDL's offscreen driver,
// which needs no display. With a display named, SDL still reaches the
// session's D-Bus through it: it would start a bus on the user's display,
// and libdbus leaks when that fails. A headless test keeps to itself.
#include <cstdlib>
#include <cstring>

namespace {

const bool g_headless = [] {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver == nullptr || std::strcmp(driver, "offscreen") != 0) return false;
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return true;
}();

}  // namespace
