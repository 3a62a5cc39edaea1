#include "win32/Menu.h"

#include <set>

namespace Platform {

namespace {

std::set<HMENU>& Live() {
    static std::set<HMENU> menus;
    return menus;
}

constexpr UINT kStates = MF_CHECKED | MF_GRAYED | MF_DISABLED;

// The item `position` names: by its place in `menu`, or by its command in
// `menu` or any menu under it (the first met, a menu's items before those
// of the menus they open). Separators and items that open a menu have no
// command.
HMENU__::Item* FindItem(HMENU menu, UINT position, UINT flags, HMENU* holder = nullptr) {
    if (LiveMenu(menu) == nullptr) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (position >= menu->items.size()) return nullptr;
        if (holder != nullptr) *holder = menu;
        return &menu->items[position];
    }
    // Kept from call to call: a program that checks an item every frame
    // allocates nothing.
    static thread_local std::vector<HMENU> pending;
    pending.assign(1, menu);
    for (size_t next = 0; next < pending.size(); ++next) {
        HMENU m = pending[next];
        for (HMENU__::Item& item : m->items) {
            if (item.popup != nullptr) pending.push_back(item.popup);
            if (!item.separator && item.popup == nullptr && item.id == position) {
                if (holder != nullptr) *holder = m;
                return &item;
            }
        }
    }
    return nullptr;
}

void Destroy(HMENU menu) {
    std::vector<HMENU> pending{menu};
    while (!pending.empty()) {
        HMENU m = pending.back();
        pending.pop_back();
        for (const HMENU__::Item& item : m->items)
            if (item.popup != nullptr) pending.push_back(item.popup);
        Live().erase(m);
        delete m;
    }
}

// The item as shown: the label before the tab, the shortcut after it.
HMENU__::Item NewItem(std::string_view text, UINT id, UINT state) {
    HMENU__::Item item;
    const size_t tab = text.find('\t');
    item.label = MenuLabel(text.substr(0, tab));
    if (tab != std::string_view::npos) item.shortcut = text.substr(tab + 1);
    item.id = id;
    item.state = state & kStates;
    return item;
}

}  // namespace

HMENU LiveMenu(HMENU menu) {
    return Live().count(menu) != 0 ? menu : nullptr;
}

HMENU MenuBarFromResource(const std::vector<MenuItem>& items) {
    HMENU bar = CreatePopupMenu();
    bar->bar = true;
    std::vector<std::pair<const std::vector<MenuItem>*, HMENU>> pending{{&items, bar}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        for (const MenuItem& item : *from) {
            if (item.separator) {
                AppendMenuA(to, MF_SEPARATOR, 0, nullptr);
            } else if (item.popup) {
                HMENU popup = CreatePopupMenu();
                AppendMenuA(to, MF_POPUP | item.state, reinterpret_cast<UINT_PTR>(popup), item.text.c_str());
                pending.emplace_back(&item.items, popup);
            } else {
                AppendMenuA(to, MF_STRING | item.state, item.id, item.text.c_str());
            }
        }
    }
    return bar;
}

void DestroyMenuBar(HMENU bar) {
    if (LiveMenu(bar) != nullptr && bar->bar) Destroy(bar);
}

}  // namespace Platform

using namespace Platform;

HMENU WINAPI CreatePopupMenu(void) {
    auto* menu = new HMENU__;
    Live().insert(menu);
    return menu;
}

BOOL WINAPI DestroyMenu(HMENU menu) {
    // A window's menu bar goes with its window.
    if (LiveMenu(menu) == nullptr || menu->bar) return FALSE;
    if (HMENU owner = menu->owner)
        std::erase_if(owner->items, [menu](const HMENU__::Item& item) { return item.popup == menu; });
    Destroy(menu);
    return TRUE;
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    if (LiveMenu(menu) == nullptr || position < 0 || static_cast<size_t>(position) >= menu->items.size())
        return nullptr;
    return menu->items[static_cast<size_t>(position)].popup;
}

int WINAPI GetMenuItemCount(HMENU menu) {
    return LiveMenu(menu) != nullptr ? static_cast<int>(menu->items.size()) : -1;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCSTR newItem) {
    if (LiveMenu(menu) == nullptr) return FALSE;
    if (flags & MF_SEPARATOR) {
        HMENU__::Item item;
        item.separator = true;
        menu->items.push_back(std::move(item));
        return TRUE;
    }
    if (newItem == nullptr) return FALSE;
    if (!(flags & MF_POPUP)) {
        menu->items.push_back(NewItem(newItem, static_cast<UINT>(idNewItem), flags));
        return TRUE;
    }
    // The menu an item opens belongs to that item alone: not another's,
    // not a menu bar, and not the menu itself or one it lies in.
    HMENU popup = reinterpret_cast<HMENU>(idNewItem);
    if (LiveMenu(popup) == nullptr || popup->owner != nullptr || popup->bar || popup == menu) return FALSE;
    if (!popup->items.empty())  // only a menu with items can hold `menu`
        for (HMENU m = menu->owner; m != nullptr; m = m->owner)
            if (m == popup) return FALSE;
    HMENU__::Item item = NewItem(newItem, 0, flags);
    item.popup = popup;
    popup->owner = menu;
    menu->items.push_back(std::move(item));
    return TRUE;
}

BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags) {
    HMENU holder = nullptr;
    HMENU__::Item* item = FindItem(menu, position, flags, &holder);
    if (item == nullptr) return FALSE;
    HMENU popup = item->popup;
    holder->items.erase(holder->items.begin() + (item - holder->items.data()));
    if (popup != nullptr) Destroy(popup);  // the menu it opened goes with it
    return TRUE;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT idCheckItem, UINT check) {
    HMENU__::Item* item = FindItem(menu, idCheckItem, check);
    if (item == nullptr) return static_cast<DWORD>(-1);
    const DWORD previous = item->state & MF_CHECKED;
    item->state = (item->state & ~MF_CHECKED) | (check & MF_CHECKED);
    return previous;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT idEnableItem, UINT enable) {
    HMENU__::Item* item = FindItem(menu, idEnableItem, enable);
    if (item == nullptr) return -1;
    const BOOL previous = static_cast<BOOL>(item->state & (MF_GRAYED | MF_DISABLED));
    item->state = (item->state & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return previous;
}
