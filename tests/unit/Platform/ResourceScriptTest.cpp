#include <gtest/gtest.h>

#include "win32/ResourceScript.h"

namespace {

using Platform::ResourceScript;

TEST(ResourceScript, UnderstandsTheUsualSpellings) {
    const char* text = R"(
        // a comment
        #define IDM_MAIN 0x70
        #  define ID_QUIT IDM_QUIT_VALUE
        #define IDM_QUIT_VALUE 9
        /* block
           comment */
        IDM_MAIN MENU DISCARDABLE
        {
            POPUP "&Edit", HELP
            {
                MENUITEM "Cu&t && Paste", 7, GRAYED
                MENUITEM SEPARATOR
                MENUITEM "Say ""hi""\tCtrl+H", ID_QUIT, CHECKED
            }
        }
    )";
    ResourceScript script;
    std::string error;
    ASSERT_TRUE(script.Parse(text, &error)) << error;
    const auto* menu = script.FindMenu(0x70);
    ASSERT_NE(menu, nullptr);
    const auto& items = (*menu)[0].items;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(Platform::MenuLabel(items[0].text), "Cut & Paste");
    EXPECT_EQ(items[0].id, 7u);
    EXPECT_EQ(items[0].state, UINT(MF_GRAYED));
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ(items[2].text, "Say \"hi\"\tCtrl+H");
    EXPECT_EQ(items[2].state, UINT(MF_CHECKED));
    EXPECT_EQ(items[2].id, 9u);
}

TEST(ResourceScript, RefusesBrokenScriptsNamingTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"1 MENU\nBEGIN\n  MENUITEM \"A\", NOT_DEFINED\nEND", "line 3: 'NOT_DEFINED' is not a number"},
        {"1 MENU\nBEGIN\n  POPUP \"A\"\n  BEGIN\n", "missing END"},
        {"1 ICON \"app.ico\"", "line 1: only MENU resources are supported"},
        {"1 MENU\nBEGIN\n  MENUITEM \"A\" 5\nEND", "line 3: expected ','"},
        {"1 MENU\nBEGIN\n  MENUITEM \"A, 5\nEND", "unterminated string"},
        {"1 MENU\nBEGIN\n  MENUITEM \"A\", 70000\nEND", "is not a number"}};
    for (const auto& c : cases) {
        ResourceScript script;
        std::string error;
        EXPECT_FALSE(script.Parse(c.text, &error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

}  // namespace
