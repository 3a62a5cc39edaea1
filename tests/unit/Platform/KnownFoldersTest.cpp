#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace {

using namespace VorelTest;
namespace fs = std::filesystem;

// The pictures folder as the freedesktop user directories name it, often
// in the user's language, else ~/Pictures; made only when asked.
TEST(SHGetFolderPath, FindsThePicturesFolderOfTheUserDirectories) {
    ScratchFolder scratch;
    const std::string home = scratch.Path().string();
    ScopedVariable homeVariable("HOME", home), config("XDG_CONFIG_HOME", home + "/config");
    fs::create_directory(home + "/config");
    char path[MAX_PATH];
    const auto ask = [&](int folder) {
        return SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
    };

    EXPECT_EQ(ask(CSIDL_MYPICTURES), S_FALSE) << "no such folder yet, and none made";
    EXPECT_EQ(std::string(path), home + "/Pictures");
    EXPECT_FALSE(fs::exists(home + "/Pictures"));
    EXPECT_EQ(ask(CSIDL_MYPICTURES | CSIDL_FLAG_CREATE), S_OK);
    EXPECT_TRUE(fs::is_directory(home + "/Pictures"));

    const struct {
        const char* line;
        std::string expected;
    } cases[] = {
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"", home + "/Bilder"},
        {"# comment\n  XDG_PICTURES_DIR=\"$HOME/Фото/2026\"  ", home + "/Фото/2026"},
        {"XDG_PICTURES_DIR=\"/srv/shared \\\"pics\\\"\"", "/srv/shared \"pics\""},
        {"XDG_PICTURES_DIR=\"$HOME\"", home + "/Pictures"},     // the home itself is no pictures folder
        {"XDG_PICTURES_DIR=\"relative\"", home + "/Pictures"},  // neither absolute nor under $HOME
        {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"", home + "/Pictures"},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"", home + "/Pictures"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteFile(home + "/config/user-dirs.dirs", std::string(c.line) + "\n");
        ask(CSIDL_MYPICTURES);
        EXPECT_EQ(std::string(path), c.expected);
    }

    // A folder that cannot be made: under a file.
    WriteFile(home + "/file", "x");
    WriteFile(home + "/config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/file/pictures\"\n");
    EXPECT_EQ(ask(CSIDL_MYPICTURES | CSIDL_FLAG_CREATE), S_FALSE);
    WriteFile(home + "/config/user-dirs.dirs", "XDG_PICTURES_DIR=\"/" + std::string(MAX_PATH, 'p') + "\"\n");
    EXPECT_EQ(ask(CSIDL_MYPICTURES), E_FAIL) << "too long for the caller's buffer";
    EXPECT_EQ(ask(0x0005), E_INVALIDARG) << "only the pictures folder is known";
    ScopedVariable noHome("HOME", "");
    EXPECT_EQ(ask(CSIDL_MYPICTURES), E_FAIL);
}

}  // namespace
