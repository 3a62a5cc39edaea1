// The whole start-up, loop and shutdown, each run in a child process (the
// singletons and the platform live for a process), on the offscreen driver.
#include <gtest/gtest.h>
#include <windows.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

HINSTANCE Instance() {
    static char module;
    return reinterpret_cast<HINSTANCE>(&module);
}

// Waits for the window to exist, then pushes the events that `push` makes,
// as the user's input would arrive.
template <typename Push>
void RunWinMainAndExit(Push push) {
    std::thread user([push] {
        while (SDL_WasInit(SDL_INIT_VIDEO) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // some frames run first
        push();
    });
    user.detach();
    std::exit(WinMain(Instance(), nullptr, nullptr, SW_SHOWNORMAL));
}

void PushEscape() {
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.state = SDL_PRESSED;
    key.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&key);
}

void PushClose() {
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = 0;  // no id: the active window
    SDL_PushEvent(&close);
}

class WinMainTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(WinMainTest, EscapeEndsTheRunWithZero) {
    EXPECT_EXIT(RunWinMainAndExit(PushEscape), ::testing::ExitedWithCode(0), "");
}

TEST_F(WinMainTest, TheCloseBoxEndsTheRunWithZero) {
    EXPECT_EXIT(RunWinMainAndExit(PushClose), ::testing::ExitedWithCode(0), "");
}

TEST_F(WinMainTest, NoDisplayEndsWithMinusOneAndSaysWhy) {
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "", 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            std::exit(WinMain(Instance(), nullptr, nullptr, SW_SHOWNORMAL));
        },
        ::testing::ExitedWithCode(255),
        "cannot open the window \"Vorel - Penwick - Lumen1\": no display is available \\(DISPLAY is not "
        "set\\)");
}

}  // namespace
