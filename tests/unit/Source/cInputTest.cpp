#include <gtest/gtest.h>
#include <windows.h>

#include "cInput.h"
#include "cWindow.h"

namespace {

using Vorel::cInput;

// A press triggers in the frame it comes in, however often the key repeats;
// a key pressed and released between two frames is never seen.
TEST(cInput, APressActsOnceAndAHeldKeyStaysDown) {
    cInput input;
    ASSERT_TRUE(input.Init());
    for (uint32_t k : {0u, 87u, 255u, 256u, 0xFFFFFFFFu})
        EXPECT_FALSE(input.IsKeyDown(k) || input.IsKeyTriggered(k)) << k;
    input.KeyDown('W');
    EXPECT_TRUE(input.IsKeyTriggered('W'));
    EXPECT_TRUE(input.IsKeyTriggered('W')) << "until the frame ends";
    input.EndFrame();
    for (int frame = 0; frame < 3; ++frame) {
        input.KeyDown('W');  // auto-repeat
        EXPECT_TRUE(input.IsKeyDown('W'));
        EXPECT_FALSE(input.IsKeyTriggered('W'));
        input.EndFrame();
    }
    input.KeyUp('W');
    EXPECT_FALSE(input.IsKeyDown('W'));
    input.KeyDown('W');
    EXPECT_TRUE(input.IsKeyTriggered('W')) << "released and pressed again";

    input.KeyDown(VK_SPACE);
    input.KeyUp(VK_SPACE);
    EXPECT_FALSE(input.IsKeyDown(VK_SPACE) || input.IsKeyTriggered(VK_SPACE));
    input.KeyDown(256);  // past the table: ignored
    input.KeyDown(0xFFFFFFFFu);
    EXPECT_FALSE(input.IsKeyDown(256) || input.IsKeyTriggered(0xFFFFFFFFu));
}

// The window procedure records key messages, but not system keys.
TEST(cWindowKeys, OnlyPlainKeyMessagesReachTheKeyboardState) {
    cInput* input = cInput::Instance();
    ASSERT_TRUE(input->Init());
    Vorel::cWindow* window = Vorel::cWindow::Instance();
    window->WindowProc(nullptr, WM_KEYDOWN, 'P', 0);
    window->WindowProc(nullptr, WM_SYSKEYDOWN, 'Q', 0);
    window->WindowProc(nullptr, WM_SYSKEYDOWN, VK_F10, 0);
    EXPECT_TRUE(input->IsKeyTriggered('P'));
    EXPECT_FALSE(input->IsKeyDown('Q') || input->IsKeyDown(VK_F10));
    window->WindowProc(nullptr, WM_KEYUP, 'P', 0);
    EXPECT_FALSE(input->IsKeyDown('P'));
    cInput::Destroy();
    Vorel::cWindow::Destroy();
}

}  // namespace
