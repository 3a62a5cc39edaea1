// The entry point without a display: start-up fails with -1 and says why.
// In a child process: the singletons and the platform live for a process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

namespace {

TEST(WinMain, WithoutADisplayStartUpEndsWithMinusOneAndSaysWhy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "", 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            static char module;
            std::exit(WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOWNORMAL));
        },
        ::testing::ExitedWithCode(255),
        "cannot open the window \"Vorel - Penwick - Lumen1\": no display is available \\(DISPLAY is not "
        "set\\)");
}

}  // namespace
