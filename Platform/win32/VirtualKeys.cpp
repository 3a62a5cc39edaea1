#include "win32/VirtualKeys.h"

namespace Platform {

UINT VirtualKeyFromSdl(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<UINT>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<UINT>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<UINT>(VK_F1 + (key - SDLK_F1));
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<UINT>(VK_NUMPAD1 + (key - SDLK_KP_1));
    switch (key) {
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_RETURN:
            return VK_RETURN;
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_PAUSE:
            return VK_PAUSE;
        case SDLK_CAPSLOCK:
            return VK_CAPITAL;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_END:
            return VK_END;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_KP_0:
            return VK_NUMPAD0;
        case SDLK_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_PERIOD:
            return VK_DECIMAL;
        case SDLK_KP_DIVIDE:
            return VK_DIVIDE;
        // Win32 reports both keys of a pair by the generic code.
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT:
            return VK_MENU;
        // The main keyboard's '=' key carries '+': it is VK_OEM_PLUS, as is a
        // layout's own '+' key.
        case SDLK_EQUALS:
        case SDLK_PLUS:
            return VK_OEM_PLUS;
        case SDLK_MINUS:
            return VK_OEM_MINUS;
        case SDLK_COMMA:
            return VK_OEM_COMMA;
        case SDLK_PERIOD:
            return VK_OEM_PERIOD;
        case SDLK_SEMICOLON:
            return VK_OEM_1;
        case SDLK_SLASH:
            return VK_OEM_2;
        case SDLK_BACKQUOTE:
            return VK_OEM_3;
        case SDLK_LEFTBRACKET:
            return VK_OEM_4;
        case SDLK_BACKSLASH:
            return VK_OEM_5;
        case SDLK_RIGHTBRACKET:
            return VK_OEM_6;
        case SDLK_QUOTE:
            return VK_OEM_7;
        default:
            return 0;
    }
}

bool KeyMessageFromSdl(const SDL_KeyboardEvent& event, KeyMessage* out) {
    const UINT vk = VirtualKeyFromSdl(event.keysym.sym);
    if (vk == 0) return false;
    const bool down = event.type == SDL_KEYDOWN;
    const bool alt = (event.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    const bool system = alt || vk == VK_F10;
    out->message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    out->wParam = vk;

    const SDL_Scancode sc = event.keysym.scancode;
    const bool extended = sc == SDL_SCANCODE_RALT || sc == SDL_SCANCODE_RCTRL ||
                          sc == SDL_SCANCODE_KP_ENTER || sc == SDL_SCANCODE_KP_DIVIDE ||
                          (sc >= SDL_SCANCODE_INSERT && sc <= SDL_SCANCODE_UP);
    uint32_t bits = 1;                                 // repeat count
    bits |= (static_cast<uint32_t>(sc) & 0xFF) << 16;  // scan code (SDL's numbering)
    if (extended) bits |= 1u << 24;
    if (alt && vk != VK_F10) bits |= 1u << 29;    // context code
    if (!down || event.repeat) bits |= 1u << 30;  // key was down before
    if (!down) bits |= 1u << 31;                  // released
    out->lParam = static_cast<LPARAM>(static_cast<int32_t>(bits));
    return true;
}

}  // namespace Platform
