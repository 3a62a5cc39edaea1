#pragma once

#include <SDL.h>
#include <windows.h>

namespace Platform {

// The virtual-key code of an SDL key, following the keyboard layout as Win32
// does (the key that types 'q' is 'Q'); 0 for a key Win32 has no code for.
UINT VirtualKeyFromSdl(SDL_Keycode key);

// The key message SDL's key event becomes: WM_KEYDOWN/WM_KEYUP, or
// WM_SYSKEYDOWN/WM_SYSKEYUP for F10, the Alt key itself and keys pressed
// while Alt is held. Its lParam as Win32 lays it out: repeat count 1, scan
// code, extended-key flag, context code (Alt held), previous key state
// (set for auto-repeat and releases) and transition state (set on release).
struct KeyMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
bool KeyMessageFromSdl(const SDL_KeyboardEvent& event, KeyMessage* out);

}  // namespace Platform
