// A window for the graphics system's device, shared by the tests and the
// fuzz targets (which cannot include GoogleTest).
#pragma once

#include <windows.h>

namespace VorelTest {

// A shown window, the active one, for the rest of the program: the
// renderer takes the active window as its device's. Shown again when
// another window became active since.
inline HWND DeviceWindow() {
    static HWND window = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "VorelTestDeviceWindow";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, wc.lpszClassName, "Device", WS_CAPTION, 0, 0, 1024, 768, GetDesktopWindow(),
                               nullptr, nullptr, nullptr);
    }();
    if (window != nullptr && GetActiveWindow() != window) ShowWindow(window, SW_SHOW);
    return window;
}

}  // namespace VorelTest
