// What the window layer does about the process's display server, beyond
// SDL: a lost connection ends the process, and the graphics driver stays
// loaded while the process lives.
#pragma once

namespace Platform {

// Installs, for an X11 display, an I/O error handler that ends the
// process at once (exit code 1, one line on the debugger output) when the
// connection is lost. Xlib's own handler calls exit(), whose clean-up then
// waits for the dead server forever.
void EndWhenDisplayIsLost();

// In builds with AddressSanitizer: every library loaded by the time the
// first OpenGL context exists stays loaded until the process ends. Nothing
// otherwise.
void KeepDriverLoaded();

}  // namespace Platform
