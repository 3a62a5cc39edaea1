#include "cWindow.h"

#include <algorithm>
#include <vector>

#include "cApplication.h"
#include "cGraphicsManager.h"
#include "cInput.h"
#include "cModelViewer.h"
#include "resource.h"

namespace Vorel {

namespace {

// Room for the longest path either platform allows: a chosen path is never
// cut or dropped for want of space.
constexpr DWORD kPathBufferSize = 32768;

}  // namespace

cWindow* cWindow::s_window = nullptr;

cWindow::~cWindow() {
    // Fails quietly while the window still exists (a run ended with Escape).
    UnregisterClassA(m_className.c_str(), m_instance);
    if (s_window == this) s_window = nullptr;
}

bool cWindow::Init(HINSTANCE instance, const std::string& title) {
    s_window = this;  // first: messages sent during creation already arrive
    m_instance = instance;
    m_className = "Vorel";
    m_width = 1024;
    m_height = 768;

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = StaticWindowProc;
    wc.hInstance = m_instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = m_className.c_str();
    RegisterClassExA(&wc);

    // Never larger than the display's free area: the picture shrinks to fit
    // the window, title bar and menu bar included.
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
    RECT area{}, frame{0, 0, m_width, m_height};
    AdjustWindowRect(&frame, style, TRUE);
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
        m_width -= std::max<LONG>(0, (frame.right - frame.left) - (area.right - area.left));
        m_height -= std::max<LONG>(0, (frame.bottom - frame.top) - (area.bottom - area.top));
        m_width = std::max(m_width, 160);
        m_height = std::max(m_height, 120);
    }
    m_handle = CreateWindowExA(0, m_className.c_str(), title.c_str(), style, 0, 0, m_width, m_height,
                               GetDesktopWindow(), nullptr, m_instance, nullptr);
    if (m_handle == nullptr) return false;
    ShowCursor(TRUE);
    return true;
}

void cWindow::Show(int command) {
    ShowWindow(m_handle, command);
}

bool cWindow::IsFullScreen() const {
    return m_handle != nullptr && (GetWindowLongA(m_handle, GWL_STYLE) & WS_CAPTION) == 0;
}

void cWindow::ToggleFullScreen() {
    if (m_handle == nullptr) return;
    const LONG style = GetWindowLongA(m_handle, GWL_STYLE);
    if ((style & WS_CAPTION) != 0) {
        // Without its frame, over the whole of its monitor.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        m_windowedMaximised = IsZoomed(m_handle) != FALSE;
        if (m_windowedMaximised) ShowWindow(m_handle, SW_RESTORE);
        if (!GetWindowRect(m_handle, &m_windowedRect) ||
            !GetMonitorInfoA(MonitorFromWindow(m_handle, MONITOR_DEFAULTTONEAREST), &monitor))
            return;
        m_windowedStyle = style;
        SetWindowLongA(m_handle, GWL_STYLE, style & ~(WS_CAPTION | WS_THICKFRAME));
        const RECT& r = monitor.rcMonitor;
        SetWindowPos(m_handle, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
        return;
    }
    SetWindowLongA(m_handle, GWL_STYLE, m_windowedStyle);
    const RECT& r = m_windowedRect;
    SetWindowPos(m_handle, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    if (m_windowedMaximised) ShowWindow(m_handle, SW_MAXIMIZE);
}

void cWindow::ToggleMaximised() {
    if (m_handle == nullptr) return;
    if (IsFullScreen()) ToggleFullScreen();
    ShowWindow(m_handle, IsZoomed(m_handle) ? SW_RESTORE : SW_MAXIMIZE);
}

void cWindow::Run() {
    MSG msg{};
    do {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        cApplication::Instance()->Update();
    } while (msg.message != WM_QUIT);
}

LRESULT CALLBACK cWindow::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return s_window->WindowProc(window, message, wParam, lParam);
}

LRESULT cWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            cApplication::Instance()->Quit();
            break;
        case WM_KEYDOWN:
            cInput::Instance()->KeyDown(static_cast<uint32_t>(wParam));
            if (wParam == VK_ESCAPE) cApplication::Instance()->Quit();
            break;
        case WM_KEYUP:
            cInput::Instance()->KeyUp(static_cast<uint32_t>(wParam));
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_FILE_OPEN)
                OpenModel();
            else
                cModelViewer::Instance()->Command(LOWORD(wParam));
            break;
        case WM_LBUTTONDOWN:
            cModelViewer::Instance()->MouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            break;
        case WM_LBUTTONUP:
            cModelViewer::Instance()->MouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            break;
        case WM_MOUSEMOVE:
            cModelViewer::Instance()->MouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                                                (wParam & MK_LBUTTON) != 0);
            break;
        case WM_MOUSEWHEEL:
            cModelViewer::Instance()->Wheel(static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA);
            break;
        case WM_SIZE:
            // A new client area: the back buffer follows it (not while
            // minimised, nor at no size).
            if (wParam != SIZE_MINIMIZED && LOWORD(lParam) > 0 && HIWORD(lParam) > 0)
                cGraphicsManager::Instance()->Resize(LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_DROPFILES:
            OpenDropped(reinterpret_cast<HDROP>(wParam));
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void cWindow::OpenDropped(HDROP drop) {
    // The first file of the drop, as if chosen in File > Open.
    if (DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0) > 0) {
        std::vector<char> file(size_t(DragQueryFileA(drop, 0, nullptr, 0)) + 1, '\0');
        DragQueryFileA(drop, 0, file.data(), static_cast<UINT>(file.size()));
        const std::string path = file.data();
        cModelViewer::Instance()->LoadModel(path, path.substr(path.find_last_of("/\\") + 1));
    }
    DragFinish(drop);
}

void cWindow::OpenModel() {
    std::vector<char> file(kPathBufferSize, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "*.x\0*.x\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathBufferSize;
    ofn.lpstrInitialDir = "Assets\\Models";
    ofn.lpstrTitle = "Select a model to open";
    ofn.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&ofn)) return;
    cModelViewer::Instance()->LoadModel(file.data(), file.data() + ofn.nFileOffset);
}

}  // namespace Vorel
