#include <gtest/gtest.h>

#include "win32/VirtualKeys.h"

namespace {

TEST(VirtualKeys, MapsEveryKeyTheViewerUses) {
    const struct {
        SDL_Keycode sym;
        UINT vk;
    } cases[] = {{SDLK_a, 'A'},
                 {SDLK_z, 'Z'},
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
                 {SDLK_LEFT, VK_LEFT},
                 {SDLK_RSHIFT, VK_SHIFT},
                 {SDLK_LALT, VK_MENU},
                 {SDLK_UNKNOWN, 0},
                 {SDLK_AUDIOPLAY, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Platform::VirtualKeyFromSdl(c.sym), c.vk) << SDL_GetKeyName(c.sym);
}

}  // namespace
