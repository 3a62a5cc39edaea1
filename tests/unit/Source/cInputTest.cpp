#include <gtest/gtest.h>
#include <windows.h>

#include "cInput.h"
#include "cWindow.h"

namespace {

using Vorel::cInput;

class cInputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_input.Init()); }
    cInput m_input;
};

TEST_F(cInputTest, NothingIsDownOrTriggeredAfterInit) {
    for (uint32_t k = 0; k < 256; ++k) {
        EXPECT_FALSE(m_input.IsKeyDown(k));
        EXPECT_FALSE(m_input.IsKeyTriggered(k));
    }
}

TEST_F(cInputTest, APressActsOnceAndAHeldKeyStaysDown) {
    m_input.KeyDown('W');
    EXPECT_TRUE(m_input.IsKeyTriggered('W'));
    EXPECT_TRUE(m_input.IsKeyTriggered('W')) << "until the frame ends";
    m_input.EndFrame();
    // Auto-repeat sends more key-downs; none triggers again.
    for (int frame = 0; frame < 3; ++frame) {
        m_input.KeyDown('W');
        EXPECT_TRUE(m_input.IsKeyDown('W'));
        EXPECT_FALSE(m_input.IsKeyTriggered('W'));
        m_input.EndFrame();
    }
    m_input.KeyUp('W');
    EXPECT_FALSE(m_input.IsKeyDown('W'));
}

TEST_F(cInputTest, SequencesBetweenTwoFrames) {
    // A press and release between frames leave the key up: the press is not seen.
    m_input.KeyDown(VK_SPACE);
    m_input.KeyUp(VK_SPACE);
    EXPECT_FALSE(m_input.IsKeyDown(VK_SPACE));
    EXPECT_FALSE(m_input.IsKeyTriggered(VK_SPACE));
    m_input.EndFrame();

    // A release and a new press of a held key trigger it again.
    m_input.KeyDown(VK_TAB);
    m_input.EndFrame();
    m_input.KeyUp(VK_TAB);
    m_input.KeyDown(VK_TAB);
    EXPECT_TRUE(m_input.IsKeyTriggered(VK_TAB));
}

TEST_F(cInputTest, CodesPastTheTableAreIgnored) {
    m_input.KeyDown(256);
    m_input.KeyDown(0xFFFFFFFFu);
    EXPECT_FALSE(m_input.IsKeyDown(256));
    EXPECT_FALSE(m_input.IsKeyTriggered(0xFFFFFFFFu));
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
    EXPECT_FALSE(input->IsKeyDown('Q'));
    EXPECT_FALSE(input->IsKeyDown(VK_F10));
    window->WindowProc(nullptr, WM_KEYUP, 'P', 0);
    EXPECT_FALSE(input->IsKeyDown('P'));
    cInput::Destroy();
    Vorel::cWindow::Destroy();
}

}  // namespace
