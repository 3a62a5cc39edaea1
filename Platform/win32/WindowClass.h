#pragma once

#include <windows.h>

#include <string>

namespace Platform {

struct WindowClass {
    std::string name;
    WNDCLASSEXA info{};  // pointers in here are not kept; see menuId
    UINT menuId = 0;     // the class menu, when named by number; 0 for none
    int windows = 0;     // live windows of the class: a class in use stays
};

// Null when no class of that name is registered.
WindowClass* FindWindowClass(LPCSTR name);

}  // namespace Platform
