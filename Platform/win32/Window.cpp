#include "win32/Window.h"

#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "win32/DisplayConnection.h"
#include "win32/MessageQueue.h"
#include "win32/WindowClass.h"

namespace Platform {
namespace {

constexpr float kMenuFontSize = 16.0f;
// The title bar a window manager commonly adds; its real height is known
// only once the window is shown.
constexpr LONG kTitleBar = 32;
constexpr const char* kMenuFontFile = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

std::vector<HWND> g_windows;
HWND g_activeWindow = nullptr;
int g_cursorCount = 0;

// The desktop is a window of its own in Win32; here it is only a handle
// that can be passed as a parent.
HWND__ g_desktop;

void Complain(const std::string& title, const std::string& why) {
    const std::string line = "cannot open the window \"" + title + "\": " + why + "\n";
    OutputDebugStringA(line.c_str());
}

bool DriverRequested() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver != nullptr && *driver != '\0';
}

bool DisplayConfigured() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// SDL falls back to its invisible drivers when no display answers; a window
// nobody can see is no window, unless those drivers were asked for (the tests
// and headless tools ask for "offscreen").
// The menu font's size: Liberation Sans where it is installed, else ImGui's own font.
float MenuFontSize() {
    FILE* f = std::fopen(kMenuFontFile, "rb");
    if (f == nullptr) return 13.0f;
    std::fclose(f);
    return kMenuFontSize;
}

// SDL's video, started once; a failure is said in a message box titled
// `title`, unless `quiet` (the caller then says nothing, and a later call
// tries again and says why).
bool StartVideo(const std::string& title, bool quiet = false) {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    const auto fail = [&](const std::string& why) {
        if (!quiet) Complain(title, why);
        return false;
    };
    if (!DriverRequested() && !DisplayConfigured())
        return fail("no display is available (DISPLAY is not set)");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return fail(std::string("no display is available (") + SDL_GetError() + ")");
    const std::string driver = SDL_GetCurrentVideoDriver();
    if (!DriverRequested() && (driver == "offscreen" || driver == "dummy")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        return fail("no display is available (cannot connect to the display server)");
    }
    if (driver == "x11") EndWhenDisplayIsLost();
    static bool registered = false;
    if (!registered) std::atexit(SDL_Quit);
    registered = true;
    return true;
}

void SetUpUi(HWND window) {
    IMGUI_CHECKVERSION();
    window->imgui = ImGui::CreateContext();
    ImGui::SetCurrentContext(window->imgui);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // no imgui.ini left in the user's folders
    io.LogFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;  // a menu opened by F10 follows the arrows
    ImGui::StyleColorsDark();
    ImGui::GetStyle().Colors[ImGuiCol_PopupBg].w = 1.0f;  // menus over the picture stay legible
    ImFont* font = MenuFontSize() == kMenuFontSize
                       ? io.Fonts->AddFontFromFileTTF(kMenuFontFile, kMenuFontSize)
                       : nullptr;
    const float fontSize = font != nullptr ? kMenuFontSize : 13.0f;  // 13: ImGui's own font
    window->menuBarHeight =
        window->menu != nullptr ? static_cast<int>(fontSize + 2 * ImGui::GetStyle().FramePadding.y) : 0;
}

// Menus nested deeper than this are not opened.
constexpr int kMenuDepth = 8;

void DrawMenuItems(HWND window, HMENU menu, bool* open, int depth = 0) {
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const HMENU__::Item& item = menu->items[i];
        const bool enabled = (item.state & (MF_GRAYED | MF_DISABLED)) == 0;
        ImGui::PushID(static_cast<int>(i));
        if (item.separator) {
            ImGui::Separator();
        } else if (item.popup != nullptr) {
            // F10 opens the first menu of the bar, as Win32's menu mode does.
            if (depth == 0 && window->openMenuByKey && enabled) {
                ImGui::OpenPopup(item.label.c_str());
                window->openMenuByKey = false;
            }
            if (ImGui::BeginMenu(item.label.c_str(), enabled && depth < kMenuDepth)) {
                *open = true;
                DrawMenuItems(window, item.popup, open, depth + 1);
                ImGui::EndMenu();
            }
        } else if (ImGui::MenuItem(item.label.c_str(),
                                   item.shortcut.empty() ? nullptr : item.shortcut.c_str(),
                                   (item.state & MF_CHECKED) != 0, enabled)) {
            // A menu choice arrives as WM_COMMAND: the id in the low word,
            // 0 (from a menu) in the high word.
            PostMessageA(window, WM_COMMAND, item.id, 0);
        }
        ImGui::PopID();
    }
}

}  // namespace

HWND LiveWindow(HWND window) {
    return std::find(g_windows.begin(), g_windows.end(), window) != g_windows.end() ? window : nullptr;
}

HWND WindowFromSdlId(uint32_t id) {
    for (HWND w : g_windows)
        if (SDL_GetWindowID(w->sdl) == id) return w;
    return nullptr;
}

const std::vector<HWND>& LiveWindows() {
    return g_windows;
}

LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (LiveWindow(window) == nullptr) return 0;
    return window->proc(window, message, wParam, lParam);
}

void ForwardToUi(HWND window, const SDL_Event& event) {
    if (LiveWindow(window) == nullptr) return;
    ImGui::SetCurrentContext(window->imgui);
    ImGui_ImplSDL2_ProcessEvent(&event);
    // In an open menu Enter chooses, as Space does: ImGui takes Enter for
    // text input.
    if (window->menuOpen && (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) &&
        (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)) {
        SDL_Event space = event;
        space.key.keysym.sym = SDLK_SPACE;
        space.key.keysym.scancode = SDL_SCANCODE_SPACE;
        ImGui_ImplSDL2_ProcessEvent(&space);
    }
}

void DrawWindow(HWND window, const DrawCallback& overlay) {
    SDL_GL_MakeCurrent(window->sdl, window->gl);
    ImGui::SetCurrentContext(window->imgui);
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    bool open = false;
    if (window->menu != nullptr && ImGui::BeginMainMenuBar()) {
        // Under a modal dialog the menu bar is shown but does nothing.
        ImGui::BeginDisabled(static_cast<bool>(overlay));
        DrawMenuItems(window, window->menu, &open);
        ImGui::EndDisabled();
        ImGui::EndMainMenuBar();
    }
    window->menuOpen = open;
    if (overlay) overlay();
    ImGui::Render();

    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window->sdl, &width, &height);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.16f, 0.17f, 0.19f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (window->content) window->content(width, height);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window->sdl);
    window->lastDrawn = SDL_GetTicks();
}

}  // namespace Platform

using namespace Platform;

HWND WINAPI CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE /*instance*/,
                            LPVOID /*param*/) {
    WindowClass* cls = FindWindowClass(className);
    const std::string title = windowName != nullptr ? windowName : "";
    if (cls == nullptr || width <= 0 || height <= 0 || menu != nullptr ||
        (parent != nullptr && parent != &g_desktop && LiveWindow(parent) == nullptr))
        return nullptr;
    const std::vector<MenuItem>* items = cls->menuId != 0 ? Resources().FindMenu(cls->menuId) : nullptr;
    if (!StartVideo(title)) return nullptr;

    auto* window = new HWND__;
    window->className = cls->name;
    window->proc = cls->info.lpfnWndProc;
    window->title = title;
    window->style = style;
    window->clientWidth = width;
    window->clientHeight = height;
    if (items != nullptr) window->menu = MenuBarFromResource(*items);
    SetUpUi(window);

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The client area is the picture plus the menu bar above it; without
    // WS_THICKFRAME the window cannot be resized.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    window->sdl = SDL_CreateWindow(title.c_str(), x, y, width, height + window->menuBarHeight, flags);
    if (window->sdl != nullptr) window->gl = SDL_GL_CreateContext(window->sdl);
    if (window->gl != nullptr) KeepDriverLoaded();
    if (window->gl == nullptr) {
        Complain(title, std::string("no OpenGL 3.3 core context (") + SDL_GetError() + ")");
        if (window->sdl != nullptr) SDL_DestroyWindow(window->sdl);
        ImGui::DestroyContext(window->imgui);
        DestroyMenuBar(window->menu);
        delete window;
        return nullptr;
    }
    SDL_GL_SetSwapInterval(0);  // the application paces its own frames
    ImGui_ImplSDL2_InitForOpenGL(window->sdl, window->gl);
    ImGui_ImplOpenGL3_Init("#version 330 core");

    ++cls->windows;
    g_windows.push_back(window);
    if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
    return window;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    if (LiveWindow(window) == nullptr) return FALSE;
    const BOOL wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
    if (command == SW_HIDE) {
        SDL_HideWindow(window->sdl);
        if (g_activeWindow == window) g_activeWindow = nullptr;
    } else {
        SDL_ShowWindow(window->sdl);
        if (command == SW_MAXIMIZE) SDL_MaximizeWindow(window->sdl);
        if (command == SW_RESTORE) SDL_RestoreWindow(window->sdl);
        SDL_RaiseWindow(window->sdl);
        g_activeWindow = window;
        DrawWindow(window);
    }
    return wasVisible;
}

namespace {

// The frame around the SDL window: title bar and borders as the window
// manager last reported them. A frame given back is drawn only a moment
// later: until then, the one it had before.
RECT FrameOf(HWND window) {
    if ((window->style & WS_CAPTION) == 0 ||
        (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        return {0, 0, 0, 0};
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right) == 0 &&
        (top | left | bottom | right) != 0)
        window->frame = {left, top, right, bottom};
    return window->frame;
}

}  // namespace

BOOL WINAPI IsZoomed(HWND window) {
    return LiveWindow(window) != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
    if (LiveWindow(window) == nullptr || index != GWL_STYLE) return 0;
    return static_cast<LONG>(window->style);
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    if (LiveWindow(window) == nullptr || index != GWL_STYLE) return 0;
    const DWORD old = window->style, style = static_cast<DWORD>(value);
    window->style = style;
    if (((old ^ style) & WS_CAPTION) != 0) {
        const bool framed = (style & WS_CAPTION) != 0;
        if (!framed) {
            window->style = old;
            FrameOf(window);  // kept for when it comes back
            window->style = style;
        }
        if (framed) SDL_SetWindowFullscreen(window->sdl, 0);
        SDL_SetWindowBordered(window->sdl, framed ? SDL_TRUE : SDL_FALSE);
    }
    return static_cast<LONG>(old);
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    if (LiveWindow(window) == nullptr || rect == nullptr) return FALSE;
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &width, &height);
    const RECT frame = FrameOf(window);
    *rect = {x - frame.left, y - frame.top, x + width + frame.right, y + height + frame.bottom};
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND window, HWND /*insertAfter*/, int x, int y, int width, int height, UINT flags) {
    if (LiveWindow(window) == nullptr) return FALSE;
    const bool move = (flags & SWP_NOMOVE) == 0, size = (flags & SWP_NOSIZE) == 0;
    const int display = SDL_GetWindowDisplayIndex(window->sdl);
    SDL_Rect bounds{};
    if (move && size && (window->style & WS_CAPTION) == 0 && display >= 0 &&
        SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.x == x && bounds.y == y && bounds.w == width &&
        bounds.h == height)
        return SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0 ? TRUE : FALSE;
    if (!move && !size) return TRUE;
    SDL_SetWindowFullscreen(window->sdl, 0);
    const RECT frame = FrameOf(window);
    if (size)
        SDL_SetWindowSize(window->sdl, std::max(1, width - static_cast<int>(frame.left + frame.right)),
                          std::max(1, height - static_cast<int>(frame.top + frame.bottom)));
    if (move) SDL_SetWindowPosition(window->sdl, x + frame.left, y + frame.top);
    return TRUE;
}

HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD flags) {
    // A handle is the display's index plus one.
    int display = LiveWindow(window) != nullptr ? SDL_GetWindowDisplayIndex(window->sdl) : -1;
    if (display < 0 && flags != MONITOR_DEFAULTTONULL && SDL_GetNumVideoDisplays() > 0) display = 0;
    return display >= 0 ? reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(display) + 1) : nullptr;
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor == nullptr || info == nullptr || info->cbSize < sizeof(MONITORINFO)) return FALSE;
    const int display = static_cast<int>(reinterpret_cast<uintptr_t>(monitor) - 1);
    SDL_Rect whole{}, work{};
    if (display >= SDL_GetNumVideoDisplays() || SDL_GetDisplayBounds(display, &whole) != 0) return FALSE;
    if (SDL_GetDisplayUsableBounds(display, &work) != 0) work = whole;
    info->rcMonitor = {whole.x, whole.y, whole.x + whole.w, whole.y + whole.h};
    info->rcWork = {work.x, work.y, work.x + work.w, work.y + work.h};
    info->dwFlags = display == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (LiveWindow(window) == nullptr) return FALSE;
    // Deactivated before WM_DESTROY, as in Win32: a message posted to the
    // active window from WM_DESTROY becomes a thread message, which outlives
    // the window's own messages.
    if (g_activeWindow == window) g_activeWindow = nullptr;
    SendToWindow(window, WM_DESTROY, 0, 0);

    SDL_GL_MakeCurrent(window->sdl, window->gl);
    ImGui::SetCurrentContext(window->imgui);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(window->imgui);
    SDL_GL_DeleteContext(window->gl);
    SDL_DestroyWindow(window->sdl);

    std::erase(g_windows, window);
    ThreadQueue().DiscardFor(window);
    if (WindowClass* cls = FindWindowClass(window->className.c_str())) --cls->windows;
    DestroyMenuBar(window->menu);
    delete window;
    return TRUE;
}

HMENU WINAPI GetMenu(HWND window) {
    return LiveWindow(window) != nullptr ? window->menu : nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    // The close box's default: destroy the window, which sends WM_DESTROY.
    if (message == WM_CLOSE) DestroyWindow(window);
    // F10 enters the menu bar.
    if (message == WM_SYSKEYDOWN && wParam == VK_F10 && LiveWindow(window) != nullptr &&
        window->menu != nullptr) {
        window->openMenuByKey = true;
        window->lastDrawn = 0;
    }
    return 0;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    if (LiveWindow(window) == nullptr || rect == nullptr) return FALSE;
    *rect = {0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    if (rect == nullptr) return FALSE;
    // A menu bar is as SetUpUi makes it: the font and ImGui's frame padding
    // (3 pixels) above and below.
    if (menu) rect->top -= static_cast<LONG>(MenuFontSize()) + 2 * 3;
    if (style & WS_CAPTION) rect->top -= kTitleBar;
    return TRUE;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT /*param*/, LPVOID value, UINT /*winIni*/) {
    if (action != SPI_GETWORKAREA || value == nullptr || !StartVideo("Vorel", true)) return FALSE;
    // Off screen there is no screen to fit, and no work area.
    const std::string driver = SDL_GetCurrentVideoDriver();
    if (driver == "offscreen" || driver == "dummy") return FALSE;
    SDL_Rect area{};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0) return FALSE;
    *static_cast<RECT*>(value) = {area.x, area.y, area.x + area.w, area.y + area.h};
    return TRUE;
}

HWND WINAPI GetActiveWindow(void) {
    return g_activeWindow;
}

HWND WINAPI GetDesktopWindow(void) {
    return &g_desktop;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    // Only the system arrow exists; it is SDL's default cursor.
    static int arrow;
    if (instance == nullptr && cursorName == IDC_ARROW) return reinterpret_cast<HCURSOR>(&arrow);
    return nullptr;
}

int WINAPI ShowCursor(BOOL show) {
    g_cursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursorCount;
}
