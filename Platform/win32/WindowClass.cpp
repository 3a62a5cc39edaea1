#include "win32/WindowClass.h"

#include <map>

namespace Platform {
namespace {

std::map<std::string, WindowClass>& Classes() {
    static std::map<std::string, WindowClass> classes;
    return classes;
}

bool IsName(LPCSTR name) {
    return name != nullptr && !IS_INTRESOURCE(name) && *name != '\0';
}

}  // namespace

WindowClass* FindWindowClass(LPCSTR name) {
    if (!IsName(name)) return nullptr;
    const auto it = Classes().find(name);
    return it == Classes().end() ? nullptr : &it->second;
}

}  // namespace Platform

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    using namespace Platform;
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpfnWndProc == nullptr ||
        !IsName(wc->lpszClassName) || FindWindowClass(wc->lpszClassName) != nullptr)
        return 0;

    WindowClass cls;
    cls.name = wc->lpszClassName;
    cls.info = *wc;
    cls.info.lpszClassName = nullptr;
    cls.info.lpszMenuName = nullptr;
    // Menus named by text are not offered: the resource script numbers them.
    if (wc->lpszMenuName != nullptr && IS_INTRESOURCE(wc->lpszMenuName))
        cls.menuId = static_cast<UINT>(reinterpret_cast<uintptr_t>(wc->lpszMenuName));
    Classes().emplace(cls.name, std::move(cls));

    static ATOM nextAtom = 0xC000;  // where Win32 starts numbering registered classes
    return nextAtom++;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    using namespace Platform;
    WindowClass* cls = FindWindowClass(className);
    if (cls == nullptr || cls->info.hInstance != instance || cls->windows > 0) return FALSE;
    Classes().erase(cls->name);
    return TRUE;
}
