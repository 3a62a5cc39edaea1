#include <gtest/gtest.h>

#include "win32/VirtualKeys.h"

namespace {

using Platform::KeyMessage;

SDL_KeyboardEvent Key(Uint32 type, SDL_Keycode sym, SDL_Scancode scancode, Uint16 mod = KMOD_NONE,
                      Uint8 repeat = 0) {
    SDL_KeyboardEvent event{};
    event.type = type;
    event.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.repeat = repeat;
    event.keysym.sym = sym;
    event.keysym.scancode = scancode;
    event.keysym.mod = mod;
    return event;
}

TEST(VirtualKeys, MapsEveryKeyTheViewerUses) {
    const struct {
        SDL_Keycode sym;
        UINT vk;
    } cases[] = {
        {SDLK_a, 'A'},
        {SDLK_z, 'Z'},
        {SDLK_w, 'W'},
        {SDLK_0, '0'},
        {SDLK_9, '9'},
        {SDLK_TAB, VK_TAB},
        {SDLK_SPACE, VK_SPACE},
        {SDLK_PAUSE, VK_PAUSE},
        {SDLK_ESCAPE, VK_ESCAPE},
        {SDLK_MINUS, VK_OEM_MINUS},
        {SDLK_EQUALS, VK_OEM_PLUS},
        {SDLK_PLUS, VK_OEM_PLUS},
        {SDLK_KP_MINUS, VK_SUBTRACT},
        {SDLK_KP_PLUS, VK_ADD},
        {SDLK_KP_0, VK_NUMPAD0},
        {SDLK_KP_9, VK_NUMPAD9},
        {SDLK_F1, VK_F1},
        {SDLK_F10, VK_F10},
        {SDLK_LEFT, VK_LEFT},
        {SDLK_RSHIFT, VK_SHIFT},
        {SDLK_LALT, VK_MENU},
        {SDLK_UNKNOWN, 0},
        {SDLK_AUDIOPLAY, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Platform::VirtualKeyFromSdl(c.sym), c.vk) << SDL_GetKeyName(c.sym);
}

constexpr LPARAM kPrevious = LPARAM(1) << 30;
constexpr LPARAM kContext = LPARAM(1) << 29;

TEST(VirtualKeys, PressRepeatAndReleaseCarryWin32sKeyFlags) {
    KeyMessage m{};
    ASSERT_TRUE(Platform::KeyMessageFromSdl(Key(SDL_KEYDOWN, SDLK_SPACE, SDL_SCANCODE_SPACE), &m));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_SPACE));
    EXPECT_EQ(m.lParam & 0xFFFF, 1) << "repeat count";
    EXPECT_EQ(m.lParam & kPrevious, 0);
    EXPECT_GE(m.lParam, 0) << "transition bit clear on a press";

    ASSERT_TRUE(
        Platform::KeyMessageFromSdl(Key(SDL_KEYDOWN, SDLK_SPACE, SDL_SCANCODE_SPACE, KMOD_NONE, 1), &m));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN)) << "auto-repeat is another key-down";
    EXPECT_NE(m.lParam & kPrevious, 0);

    ASSERT_TRUE(Platform::KeyMessageFromSdl(Key(SDL_KEYUP, SDLK_SPACE, SDL_SCANCODE_SPACE), &m));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_NE(m.lParam & kPrevious, 0);
    EXPECT_LT(m.lParam, 0) << "transition bit set on a release";
}

TEST(VirtualKeys, AltAndF10AreSystemKeys) {
    const struct {
        SDL_KeyboardEvent event;
        UINT message;
        bool context;
    } cases[] = {
        {Key(SDL_KEYDOWN, SDLK_s, SDL_SCANCODE_S, KMOD_LALT), WM_SYSKEYDOWN, true},
        {Key(SDL_KEYUP, SDLK_s, SDL_SCANCODE_S, KMOD_RALT), WM_SYSKEYUP, true},
        {Key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT), WM_SYSKEYDOWN, true},
        {Key(SDL_KEYDOWN, SDLK_F10, SDL_SCANCODE_F10), WM_SYSKEYDOWN, false},
        {Key(SDL_KEYUP, SDLK_F10, SDL_SCANCODE_F10), WM_SYSKEYUP, false},
        {Key(SDL_KEYDOWN, SDLK_s, SDL_SCANCODE_S, KMOD_LCTRL), WM_KEYDOWN, false},
    };
    for (const auto& c : cases) {
        KeyMessage m{};
        ASSERT_TRUE(Platform::KeyMessageFromSdl(c.event, &m));
        EXPECT_EQ(m.message, c.message) << SDL_GetKeyName(c.event.keysym.sym);
        EXPECT_EQ((m.lParam & kContext) != 0, c.context) << SDL_GetKeyName(c.event.keysym.sym);
    }
}

TEST(VirtualKeys, KeysWithoutACodeBecomeNoMessage) {
    KeyMessage m{};
    EXPECT_FALSE(Platform::KeyMessageFromSdl(Key(SDL_KEYDOWN, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY), &m));
}

}  // namespace
