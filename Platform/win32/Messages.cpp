// The message loop's side of the platform: SDL's events become Win32
// messages. Input is posted to the thread queue; the close box is a sent
// message, delivered to the window procedure while PeekMessageA runs, as
// Win32 delivers sent messages.
#include <imgui.h>
#include <windows.h>

#include "win32/MessageQueue.h"
#include "win32/VirtualKeys.h"
#include "win32/Window.h"

namespace Platform {
namespace {

// Until a device presents, the window layer keeps the menu bar on screen,
// at most about 60 times a second.
constexpr uint32_t kMenuRedrawMs = 16;

HWND TargetOf(const SDL_Event& event) {
    uint32_t id = 0;
    switch (event.type) {
        case SDL_WINDOWEVENT: id = event.window.windowID; break;
        case SDL_KEYDOWN: case SDL_KEYUP: id = event.key.windowID; break;
        case SDL_MOUSEMOTION: id = event.motion.windowID; break;
        case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: id = event.button.windowID; break;
        case SDL_MOUSEWHEEL: id = event.wheel.windowID; break;
        case SDL_TEXTINPUT: id = event.text.windowID; break;
        default: break;
    }
    if (HWND window = WindowFromSdlId(id)) return window;
    return LiveWindow(GetActiveWindow());
}

void HandleEvent(const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        // An interrupt or termination signal: close every window as the
        // close box would. (After the last window closes SDL sends one too;
        // there is nothing left to close then.)
        const std::vector<HWND> windows = LiveWindows();
        for (HWND w : windows) SendToWindow(w, WM_CLOSE, 0, 0);
        return;
    }
    HWND window = TargetOf(event);
    if (window == nullptr) return;
    ForwardToUi(window, event);

    if (event.type == SDL_WINDOWEVENT) {
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) SendToWindow(window, WM_CLOSE, 0, 0);
        else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) window->lastDrawn = 0;
        return;
    }
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
    // Keys go to an open menu, not to the application.
    if (window->menuOpen) return;
    KeyMessage key;
    if (!KeyMessageFromSdl(event.key, &key)) return;
    PostMessageA(window, key.message, key.wParam, key.lParam);
}

void PumpEvents() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event);

    const uint32_t now = SDL_GetTicks();
    for (HWND w : LiveWindows()) {
        const bool shown = (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) != 0;
        if (shown && !w->presentedByDevice && (w->lastDrawn == 0 || now - w->lastDrawn >= kMenuRedrawMs))
            DrawWindow(w);
    }
}

}  // namespace
}  // namespace Platform

using namespace Platform;

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr) return FALSE;
    PumpEvents();
    return ThreadQueue().Take(msg, window, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE
                                                                                                : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Character messages are not generated: nothing here reads WM_CHAR.
    if (msg == nullptr) return FALSE;
    return msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    // Thread messages (no window) are not dispatched.
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    return SendToWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // No window: a thread message, as PostThreadMessage would post it.
    if (window != nullptr && LiveWindow(window) == nullptr) return FALSE;
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    ThreadQueue().Post(msg);
    return TRUE;
}
