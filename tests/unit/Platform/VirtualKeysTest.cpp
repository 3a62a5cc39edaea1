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
    } cases[] = {{SDLK_a, 'A'},
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
                 {SDLK_AUDIOPLAY, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Platform::VirtualKeyFromSdl(c.sym), c.vk) << SDL_GetKeyName(c.sym);
}

TEST(VirtualKeys, KeysWithoutACodeBecomeNoMessage) {
    KeyMessage m{};
    EXPECT_FALSE(Platform::KeyMessageFromSdl(Key(SDL_KEYDOWN, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY), &m));
}

}  // namespace
