// The menu calls, on a menu bar made from a resource script as a window's
// is, and on menus the program makes.
#include <gtest/gtest.h>

#include "win32/Menu.h"

namespace {

using Platform::LiveMenu;

// Commands are found by number in the menus under the one given, or by
// place in it; states read back as they were set; an item goes with the menu
// it opens; a menu opens from one item alone, never from inside itself.
TEST(Menus, CommandsAreFoundUnderTheBarAndAnItemGoesWithItsMenu) {
    Platform::ResourceScript script;
    std::string error;
    ASSERT_TRUE(
        script.Parse("1 MENU BEGIN POPUP \"&File\" BEGIN MENUITEM \"&Open\\tCtrl+O\", 5 END "
                     "POPUP \"&Go\" BEGIN MENUITEM \"Up\", 6, GRAYED END END",
                     &error))
        << error;
    HMENU bar = Platform::MenuBarFromResource(*script.FindMenu(1));
    HMENU file = GetSubMenu(bar, 0), go = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    ASSERT_NE(go, nullptr);
    EXPECT_EQ(GetSubMenu(file, 0), nullptr) << "a command opens no menu";
    EXPECT_EQ(GetSubMenu(bar, 2), nullptr);
    EXPECT_EQ(file->items[0].label + "|" + file->items[0].shortcut, "Open|Ctrl+O");
    EXPECT_EQ(CheckMenuItem(bar, 5, MF_CHECKED), DWORD(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(file, 0, MF_BYPOSITION | MF_UNCHECKED), DWORD(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(bar, 99, MF_CHECKED), DWORD(-1));
    EXPECT_EQ(EnableMenuItem(bar, 6, MF_DISABLED), MF_GRAYED);
    EXPECT_EQ(EnableMenuItem(bar, 6, MF_ENABLED), MF_DISABLED);
    EXPECT_EQ(EnableMenuItem(bar, 99, MF_GRAYED), -1);

    HMENU more = CreatePopupMenu();
    EXPECT_TRUE(AppendMenuA(go, MF_SEPARATOR, 0, nullptr));
    EXPECT_TRUE(AppendMenuA(go, MF_STRING | MF_CHECKED, 7, "Down"));
    EXPECT_TRUE(AppendMenuA(go, MF_POPUP, reinterpret_cast<UINT_PTR>(more), "More"));
    EXPECT_TRUE(AppendMenuA(more, MF_STRING, 8, "Deeper"));
    EXPECT_FALSE(AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(more), "Twice"));
    EXPECT_FALSE(AppendMenuA(more, MF_POPUP, reinterpret_cast<UINT_PTR>(go), "Inside itself"));
    EXPECT_FALSE(AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(bar), "A bar"));
    EXPECT_FALSE(AppendMenuA(go, MF_STRING, 9, nullptr));
    EXPECT_EQ(GetMenuItemCount(go), 4);
    EXPECT_EQ(CheckMenuItem(bar, 7, MF_UNCHECKED), DWORD(MF_CHECKED));
    EXPECT_TRUE(DeleteMenu(bar, 7, MF_BYCOMMAND));
    EXPECT_FALSE(DeleteMenu(bar, 7, MF_BYCOMMAND));
    EXPECT_TRUE(DeleteMenu(go, 2, MF_BYPOSITION));  // "More", with its menu
    EXPECT_EQ(LiveMenu(more), nullptr);
    EXPECT_EQ(GetMenuItemCount(more), -1);
    EXPECT_FALSE(DestroyMenu(bar)) << "a menu bar goes with its window";
    EXPECT_TRUE(DestroyMenu(go));
    EXPECT_EQ(GetMenuItemCount(bar), 1) << "and its item with it";
    Platform::DestroyMenuBar(bar);
    EXPECT_EQ(LiveMenu(file), nullptr);
}

// Menus in menus 100 000 deep are searched and destroyed without using
// stack in proportion to the depth.
TEST(Menus, DeepMenusAreSearchedAndDestroyedWhole) {
    HMENU top = CreatePopupMenu(), menu = top;
    for (int i = 0; i < 100000; ++i) {
        HMENU next = CreatePopupMenu();
        ASSERT_TRUE(AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(next), "x"));
        menu = next;
    }
    AppendMenuA(menu, MF_STRING, 9, "at the bottom");
    EXPECT_EQ(CheckMenuItem(top, 9, MF_CHECKED), DWORD(MF_UNCHECKED));
    EXPECT_TRUE(DestroyMenu(top));
    EXPECT_EQ(LiveMenu(menu), nullptr);
}

}  // namespace
