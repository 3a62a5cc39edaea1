// The message loop's side of the platform: SDL's events become Win32
// messages. Input is posted to the thread queue; the close box is a sent
// message, delivered to the window procedure while PeekMessageA runs, as
// Win32 delivers sent messages.
#include <imgui.h>
#include <windows.h>

#include <algorithm>

#include "win32/DropFiles.h"
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
        case SDL_WINDOWEVENT:
            id = event.window.windowID;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            id = event.key.windowID;
            break;
        case SDL_MOUSEMOTION:
            id = event.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            id = event.button.windowID;
            break;
        case SDL_MOUSEWHEEL:
            id = event.wheel.windowID;
            break;
        case SDL_TEXTINPUT:
            id = event.text.windowID;
            break;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPCOMPLETE:
            id = event.drop.windowID;
            break;
        default:
            break;
    }
    if (HWND window = WindowFromSdlId(id)) return window;
    return LiveWindow(GetActiveWindow());
}

// A posted message, stamped with the time it is posted.
MSG Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    return msg;
}

// The drop being gathered: SDL reports each file of one drop on its own,
// between a begin and a complete event; Win32 posts them as one message.
HDROP g_drop = nullptr;
HWND g_dropWindow = nullptr;

void PostDrop() {
    if (g_drop != nullptr && !PostMessageA(g_dropWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(g_drop), 0))
        DragFinish(g_drop);
    g_drop = nullptr;
}

void HandleDrop(HWND window, const SDL_DropEvent& drop) {
    if (drop.type == SDL_DROPBEGIN) {
        PostDrop();
        g_drop = NewDrop();
        g_dropWindow = window;
    } else if (drop.type == SDL_DROPFILE) {
        // Without a begin (an older SDL), each file is a drop of its own.
        const bool single = g_drop == nullptr;
        if (single) g_drop = NewDrop(), g_dropWindow = window;
        AddDroppedFile(g_drop, drop.file);
        if (single) PostDrop();
    } else if (drop.type == SDL_DROPCOMPLETE) {
        PostDrop();
    }
    if (drop.file != nullptr) SDL_free(drop.file);
}

// Mouse events as the client area's messages, each with the position and
// buttons of its own moment: by the time a batch of events is handled the
// mouse may be elsewhere, its button up. The menu bar and its open menus
// keep their own clicks.
void PostMouse(HWND window, const SDL_Event& event) {
    const auto at = [window](int x, int y) { return MAKELPARAM(x, y - window->menuBarHeight); };
    const auto inClient = [window](int y) { return y >= window->menuBarHeight; };
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT && !window->menuOpen && inClient(event.button.y))
                PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(event.button.x, event.button.y));
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT)
                PostMessageA(window, WM_LBUTTONUP, 0, at(event.button.x, event.button.y));
            break;
        case SDL_MOUSEMOTION: {
            const WPARAM held = (event.motion.state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0;
            ThreadQueue().PostCoalesced(
                Message(window, WM_MOUSEMOVE, held, at(event.motion.x, event.motion.y)));
            break;
        }
        case SDL_MOUSEWHEEL: {
            const int turn =
                (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y);
            const WPARAM held = (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0;
            // As Win32 has it, the wheel's position is on the screen.
            int left = 0, top = 0;
            SDL_GetWindowPosition(window->sdl, &left, &top);
            if (turn != 0 && !window->menuOpen)
                PostMessageA(window, WM_MOUSEWHEEL, held | (WPARAM(WORD(short(turn * WHEEL_DELTA))) << 16),
                             MAKELPARAM(left + event.wheel.mouseX, top + event.wheel.mouseY));
            break;
        }
        default:
            break;
    }
}

// WM_SIZE, sent as Win32 sends it: the client area is the window's
// drawable under the menu bar; a minimised window's is 0 x 0.
void SendSize(HWND window) {
    const uint32_t flags = SDL_GetWindowFlags(window->sdl);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window->sdl, &width, &height);
    const bool minimised = (flags & SDL_WINDOW_MINIMIZED) != 0;
    if (!minimised) {
        window->clientWidth = std::max(0, width);
        window->clientHeight = std::max(0, height - window->menuBarHeight);
    }
    const WPARAM kind = minimised                        ? SIZE_MINIMIZED
                        : (flags & SDL_WINDOW_MAXIMIZED) ? SIZE_MAXIMIZED
                                                         : SIZE_RESTORED;
    SendToWindow(window, WM_SIZE, kind,
                 minimised ? 0 : MAKELPARAM(window->clientWidth, window->clientHeight));
}

void HandleEvent(const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        // An interrupt or termination signal: close every window as the
        // close box would. (After the last window closes SDL sends one too;
        // there is nothing left to close then.)
        const std::vector<HWND> windows = LiveWindows();
        for (HWND w : windows)
            SendToWindow(w, WM_CLOSE, 0, 0);
        return;
    }
    HWND window = TargetOf(event);
    if (event.type == SDL_DROPBEGIN || event.type == SDL_DROPFILE || event.type == SDL_DROPCOMPLETE) {
        if (window != nullptr)
            HandleDrop(window, event.drop);
        else if (event.drop.file != nullptr)
            SDL_free(event.drop.file);
        return;
    }
    if (window == nullptr) return;
    ForwardToUi(window, event);

    if (event.type == SDL_WINDOWEVENT) {
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            SendToWindow(window, WM_CLOSE, 0, 0);
        else if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
            window->lastDrawn = 0;
        else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                 event.window.event == SDL_WINDOWEVENT_MINIMIZED ||
                 event.window.event == SDL_WINDOWEVENT_MAXIMIZED ||
                 event.window.event == SDL_WINDOWEVENT_RESTORED)
            SendSize(window);
        return;
    }
    if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP ||
        event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEWHEEL) {
        PostMouse(window, event);
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
    while (SDL_PollEvent(&event))
        HandleEvent(event);

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
    return ThreadQueue().Take(msg, window, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
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
    ThreadQueue().Post(Message(window, message, wParam, lParam));
    return TRUE;
}
