// Menus behind an HMENU: a window's menu bar and the drop-down menus its
// items open, made from the resource script or by the program, and drawn by
// the window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/ResourceScript.h"

struct HMENU__ {
    struct Item {
        // From the text given ('&' before the access key, a tab before the
        // shortcut): the label as shown, and the shortcut.
        std::string label;
        std::string shortcut;
        UINT id = 0;     // the command of a plain item
        UINT state = 0;  // MF_CHECKED, MF_GRAYED, MF_DISABLED
        bool separator = false;
        HMENU popup = nullptr;  // the menu the item opens, which it owns
    };
    std::vector<Item> items;
    HMENU owner = nullptr;  // the menu one of whose items opens this one
    bool bar = false;       // a window's menu bar, which goes with the window
};

namespace Platform {

// A menu made here and not destroyed yet; null for anything else.
HMENU LiveMenu(HMENU menu);

// A window's menu bar with the items of a menu of the resource script.
HMENU MenuBarFromResource(const std::vector<MenuItem>& items);

// Destroys a window's menu bar with everything it opens.
void DestroyMenuBar(HMENU bar);

}  // namespace Platform
