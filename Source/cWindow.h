#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Singleton.h"

namespace Vorel {

// The one main window: registers the class "Vorel", creates the window
// with its menus, and runs the message loop that drives the
// frames. Destroying the object unregisters the class.
class cWindow : public cSingleton<cWindow> {
public:
    ~cWindow();

    // False when the window could not be created (no display, for one); the
    // platform has then said why on the debugger output.
    bool Init(HINSTANCE instance, const std::string& title);
    void Show(int command);
    // Takes at most one message per pass and runs a frame after each; returns
    // after the pass that took the quit message.
    void Run();
    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Full screen on the window's monitor (the menu bar kept), or back to
    // the window it was; maximised, or back.
    void ToggleFullScreen();
    void ToggleMaximised();
    bool IsFullScreen() const;

    HWND GetHandle() const { return m_handle; }
    // The window Init made, while its object lives; null before.
    static HWND MainWindow() { return s_window != nullptr ? s_window->m_handle : nullptr; }

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OpenModel();
    // Opens the first file of a drop, and frees the drop.
    void OpenDropped(HDROP drop);

    static cWindow* s_window;

    std::string m_className;
    int32_t m_width = 1024;
    int32_t m_height = 768;
    HINSTANCE m_instance = nullptr;
    HWND m_handle = nullptr;
    // The window before it went full screen.
    LONG m_windowedStyle = 0;
    RECT m_windowedRect{0, 0, 0, 0};
    bool m_windowedMaximised = false;
};

}  // namespace Vorel
