// A window for the graphics system's device, shared by the tests and the
// fuzz targets (which cannot include GoogleTest).
#pragma once

#include <windows.h>

namespace VorelTest {

// A new window of its own class, 1024 x 768, for a device; not shown yet.
inline HWND NewDeviceWindow(const char* className) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    return CreateWindowExA(0, className, "Device", WS_CAPTION, 0, 0, 1024, 768, GetDesktopWindow(), nullptr,
                           nullptr, nullptr);
}

// A shown window, the active one, for the rest of the program: the
// renderer takes the active window as its device's. Shown again when
// another window became active since.
inline HWND DeviceWindow() {
    static HWND window = NewDeviceWindow("VorelTestDeviceWindow");
    if (window != nullptr && GetActiveWindow() != window) ShowWindow(window, SW_SHOW);
    return window;
}

}  // namespace VorelTest
