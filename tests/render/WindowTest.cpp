// The platform window on SDL's offscreen driver: creation, the menu bar,
// SDL events turned into messages, and the close box.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "win32/Window.h"

namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_received.push_back({window, message, wParam, lParam});
    if (message == WM_DESTROY) PostMessageA(GetActiveWindow(), WM_QUIT, 0, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE Instance() {
    static char module;
    return reinterpret_cast<HINSTANCE>(&module);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_received.clear();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = Instance();
        wc.lpszMenuName = MAKEINTRESOURCEA(101);  // the executable's File menu
        wc.lpszClassName = "VorelTestWindow";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        m_window = CreateWindowExA(0, "VorelTestWindow", "Test", WS_CAPTION | WS_SYSMENU, 0, 0, 1024, 768,
                                   GetDesktopWindow(), nullptr, Instance(), nullptr);
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(m_window);
        UnregisterClassA("VorelTestWindow", Instance());
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void PushKey(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(m_window->sdl);
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        SDL_PushEvent(&event);
    }

    std::vector<MSG> Drain() {
        std::vector<MSG> messages;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            messages.push_back(msg);
        return messages;
    }

    HWND m_window = nullptr;
};

TEST_F(WindowTest, ClientAreaIsThePictureSizePlusTheMenuBarAndBadRequestsAreRefused) {
    EXPECT_GT(m_window->menuBarHeight, 10);
    int w = 0, h = 0;
    SDL_GetWindowSize(m_window->sdl, &w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768 + m_window->menuBarHeight);
    EXPECT_FALSE(SDL_GetWindowFlags(m_window->sdl) & SDL_WINDOW_RESIZABLE);
    EXPECT_EQ(GetActiveWindow(), nullptr) << "not active until shown";
    ShowWindow(m_window, SW_SHOWNORMAL);
    EXPECT_EQ(GetActiveWindow(), m_window);

    EXPECT_FALSE(UnregisterClassA("VorelTestWindow", Instance())) << "a class in use";
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "VorelTestWindow";
    EXPECT_EQ(RegisterClassExA(&wc), 0) << "registered twice";
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr),
              nullptr);
    OPENFILENAMEA ofn{};
    EXPECT_FALSE(GetOpenFileNameA(nullptr));
    EXPECT_FALSE(GetOpenFileNameA(&ofn)) << "no structure size";
    ofn.lStructSize = sizeof ofn;
    EXPECT_FALSE(GetOpenFileNameA(&ofn)) << "no buffer";
}

// A window that changes size says so with WM_SIZE: the client area under
// the menu bar, in the low and high words; GetClientRect agrees.
TEST_F(WindowTest, ANewSizeArrivesAsWmSize) {
    SDL_SetWindowSize(m_window->sdl, 640, 480 + m_window->menuBarHeight);
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(m_window->sdl);
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    SDL_PushEvent(&event);
    g_received.clear();
    Drain();
    const auto size = std::find_if(g_received.begin(), g_received.end(),
                                   [](const Received& r) { return r.message == WM_SIZE; });
    ASSERT_NE(size, g_received.end());
    EXPECT_EQ(size->wParam, WPARAM(SIZE_RESTORED));
    EXPECT_EQ(size->lParam, MAKELPARAM(640, 480));
    RECT client{};
    ASSERT_TRUE(GetClientRect(m_window, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    RECT frame{0, 0, 640, 480};
    ASSERT_TRUE(AdjustWindowRect(&frame, WS_CAPTION, TRUE));
    EXPECT_EQ(frame.bottom, 480);
    EXPECT_LT(frame.top, -m_window->menuBarHeight) << "a title bar above the menu bar";
    RECT area{};
    EXPECT_FALSE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) << "no screen off screen";
}

// The style, the window's rectangle and its monitor, as a program going
// full screen asks for them; a framed window given a rectangle takes it.
TEST_F(WindowTest, StyleRectangleAndMonitor) {
    EXPECT_EQ(GetWindowLongA(m_window, GWL_STYLE), LONG(WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(SetWindowLongA(m_window, GWL_STYLE, WS_SYSMENU), LONG(WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(GetWindowLongA(m_window, GWL_STYLE), LONG(WS_SYSMENU));
    SetWindowLongA(m_window, GWL_STYLE, WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(GetWindowLongA(m_window, 0), 0) << "no other index is kept";

    MONITORINFO info{};
    EXPECT_FALSE(GetMonitorInfoA(MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &info))
        << "no cbSize";
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_GT(info.rcMonitor.right - info.rcMonitor.left, 0);
    EXPECT_EQ(info.dwFlags, DWORD(MONITORINFOF_PRIMARY));
    EXPECT_EQ(MonitorFromWindow(nullptr, MONITOR_DEFAULTTONULL), nullptr);

    ASSERT_TRUE(SetWindowPos(m_window, nullptr, 10, 20, 500, 400, SWP_NOZORDER));
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(m_window, &rect));
    EXPECT_EQ(rect.right - rect.left, 500) << "no frame off screen";
    EXPECT_EQ(rect.bottom - rect.top, 400);
    EXPECT_TRUE(SetWindowPos(m_window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    ASSERT_TRUE(GetWindowRect(m_window, &rect));
    EXPECT_EQ(rect.right - rect.left, 500) << "neither moved nor sized";
    EXPECT_FALSE(IsZoomed(m_window));
    EXPECT_FALSE(GetWindowRect(nullptr, &rect));
}

TEST_F(WindowTest, KeysArriveAsPostedMessagesOnePerPeek) {
    PushKey(SDL_KEYDOWN, SDLK_w);
    PushKey(SDL_KEYDOWN, SDLK_w, KMOD_NONE, 1);
    PushKey(SDL_KEYUP, SDLK_w);
    PushKey(SDL_KEYDOWN, SDLK_x, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDLK_F10);
    PushKey(SDL_KEYDOWN, SDLK_AUDIOPLAY);  // no virtual-key code: no message

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, m_window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('W'));
    DispatchMessageA(&msg);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_KEYDOWN));

    const auto rest = Drain();
    ASSERT_EQ(rest.size(), 4u);
    EXPECT_EQ(rest[0].message, static_cast<UINT>(WM_KEYDOWN)) << "auto-repeat";
    EXPECT_EQ(rest[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(rest[2].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(rest[2].wParam, static_cast<WPARAM>('X'));
    EXPECT_EQ(rest[3].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(rest[3].wParam, static_cast<WPARAM>(VK_F10));
}

TEST_F(WindowTest, TheCloseBoxDestroysTheWindowAndTheQuitMessageSurvivesIt) {
    ShowWindow(m_window, SW_SHOWNORMAL);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(m_window->sdl);
    SDL_PushEvent(&close);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr) << "posted to no window: the window was no longer active";
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(g_received[1].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(Platform::LiveWindow(m_window), nullptr);
    EXPECT_FALSE(DestroyWindow(m_window));
    EXPECT_FALSE(PostMessageA(m_window, WM_USER, 0, 0)) << "no posting to a destroyed window";
    m_window = nullptr;
}

// The files of one drop arrive as one WM_DROPFILES; a file dropped alone
// (no begin event) as one of its own.
TEST_F(WindowTest, DroppedFilesArriveAsOneMessageToQuery) {
    const Uint32 id = SDL_GetWindowID(m_window->sdl);
    const auto push = [&](Uint32 type, const char* file) {
        SDL_Event event{};
        event.type = type;
        event.drop.windowID = id;
        event.drop.file = file != nullptr ? SDL_strdup(file) : nullptr;
        SDL_PushEvent(&event);
    };
    push(SDL_DROPBEGIN, nullptr);
    push(SDL_DROPFILE, "/models/a.x");
    push(SDL_DROPFILE, "/models/second.x");
    push(SDL_DROPCOMPLETE, nullptr);
    push(SDL_DROPFILE, "/alone.x");
    std::vector<HDROP> drops;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_DROPFILES) {
            EXPECT_EQ(msg.hwnd, m_window);
            drops.push_back(reinterpret_cast<HDROP>(msg.wParam));
        }
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(DragQueryFileA(drops[0], 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(drops[0], 1, nullptr, 0), 16u);
    char name[8];
    EXPECT_EQ(DragQueryFileA(drops[0], 1, name, sizeof name), 7u) << "cut to fit, with its null";
    EXPECT_STREQ(name, "/models");
    EXPECT_EQ(DragQueryFileA(drops[0], 2, name, sizeof name), 0u);
    char alone[32];
    EXPECT_EQ(DragQueryFileA(drops[1], 0, alone, sizeof alone), 8u);
    EXPECT_STREQ(alone, "/alone.x");
    for (HDROP d : drops)
        DragFinish(d);
}

// Each mouse message carries its own event's position (client coordinates,
// under the menu bar) and buttons, whatever the mouse does afterwards: a
// fast drag handled in one batch is still a drag.
TEST_F(WindowTest, MouseMessagesCarryTheirOwnEventsPositionAndButtons) {
    const Uint32 id = SDL_GetWindowID(m_window->sdl);
    const int bar = m_window->menuBarHeight;
    const auto button = [&](Uint32 type, int x, int y) {
        SDL_Event event{};
        event.type = type;
        event.button.windowID = id;
        event.button.button = SDL_BUTTON_LEFT;
        event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = x, event.button.y = y;
        SDL_PushEvent(&event);
    };
    const auto motion = [&](int x, int y, Uint32 state) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = id;
        event.motion.state = state;
        event.motion.x = x, event.motion.y = y;
        SDL_PushEvent(&event);
    };
    button(SDL_MOUSEBUTTONDOWN, 100, bar + 50);
    motion(160, bar + 75, SDL_BUTTON_LMASK);
    button(SDL_MOUSEBUTTONUP, 160, bar + 75);
    motion(300, bar + 300, 0);
    button(SDL_MOUSEBUTTONDOWN, 20, bar / 2);  // on the menu bar: not the client's
    const struct {
        UINT message;
        WPARAM wParam;
        int x, y;
    } expected[] = {{WM_LBUTTONDOWN, MK_LBUTTON, 100, 50},
                    {WM_MOUSEMOVE, MK_LBUTTON, 160, 75},
                    {WM_LBUTTONUP, 0, 160, 75},
                    {WM_MOUSEMOVE, 0, 300, 300}};
    std::vector<MSG> mouse;
    for (const MSG& m : Drain())
        if (m.message >= WM_MOUSEMOVE && m.message <= WM_MOUSEWHEEL) mouse.push_back(m);
    ASSERT_EQ(mouse.size(), std::size(expected));
    for (size_t i = 0; i < mouse.size(); ++i) {
        EXPECT_EQ(mouse[i].message, expected[i].message) << i;
        EXPECT_EQ(mouse[i].wParam & MK_LBUTTON, expected[i].wParam) << i;
        EXPECT_EQ(GET_X_LPARAM(mouse[i].lParam), expected[i].x) << i;
        EXPECT_EQ(GET_Y_LPARAM(mouse[i].lParam), expected[i].y) << i;
    }
}

}  // namespace
