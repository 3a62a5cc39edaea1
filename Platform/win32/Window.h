// The platform window behind an HWND: an SDL window with its OpenGL context
// and Dear ImGui context, which draws the menu bar and the modal dialogs.
#pragma once

#include <SDL.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win32/Menu.h"

struct ImGuiContext;

struct HWND__ {
    std::string className;
    WNDPROC proc = nullptr;
    std::string title;
    DWORD style = 0;
    int clientWidth = 0;  // the picture area, under the menu bar
    int clientHeight = 0;
    int menuBarHeight = 0;
    RECT frame{0, 0, 0, 0};  // the window manager's frame when last seen (left, top, right, bottom)
    SDL_Window* sdl = nullptr;
    SDL_GLContext gl = nullptr;
    ImGuiContext* imgui = nullptr;
    HMENU menu = nullptr;            // the menu bar, destroyed with the window
    bool menuOpen = false;           // a menu of the bar is dropped down
    bool openMenuByKey = false;      // F10 was pressed: the first menu opens, for the arrow keys
    bool presentedByDevice = false;  // from then on the device draws the window
    // The picture under the menu bar, given the drawable's size: set by the
    // device that presents into the window.
    std::function<void(int, int)> content;
    uint32_t lastDrawn = 0;
};

namespace Platform {

// Live windows only; null for anything else.
HWND LiveWindow(HWND window);
HWND WindowFromSdlId(uint32_t id);
const std::vector<HWND>& LiveWindows();

// A sent message: the window procedure is called at once.
LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws one picture of the window: the content (the client area under the
// menu bar: the device's last picture, or a plain background), the menu bar, then whatever
// overlay adds (a dialog), and swaps. Menu commands are posted as WM_COMMAND.
using DrawCallback = std::function<void()>;
void DrawWindow(HWND window, const DrawCallback& overlay = {});

// Feeds an SDL event to the window's menu bar and dialogs.
void ForwardToUi(HWND window, const SDL_Event& event);

}  // namespace Platform
