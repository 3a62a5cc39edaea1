#include <gtest/gtest.h>

#include "win32/MessageQueue.h"

namespace {

HWND Handle(uintptr_t n) {
    return reinterpret_cast<HWND>(n);
}

MSG Message(HWND window, UINT number, WPARAM wParam = 0) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = number;
    msg.wParam = wParam;
    return msg;
}

TEST(MessageQueue, DiscardsADestroyedWindowsMessagesButNotThreadMessages) {
    Platform::MessageQueue queue;
    queue.Post(Message(Handle(1), WM_KEYDOWN));
    queue.Post(Message(nullptr, WM_QUIT));
    queue.Post(Message(Handle(1), WM_KEYUP));
    queue.DiscardFor(Handle(1));
    MSG msg{};
    ASSERT_TRUE(queue.Take(&msg, nullptr, 0, 0, true));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(queue.Take(&msg, nullptr, 0, 0, true));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT)) << "a failed take leaves the record as it was";
}

// Mouse moves keep only the latest of a run; a key between two moves keeps
// both in their order.
TEST(MessageQueue, CoalescedMovesGiveTheLatestPosition) {
    Platform::MessageQueue queue;
    queue.PostCoalesced(Message(Handle(8), WM_MOUSEMOVE, 1));
    queue.PostCoalesced(Message(Handle(8), WM_MOUSEMOVE, 2));
    queue.Post(Message(Handle(8), WM_KEYDOWN, 'A'));
    queue.PostCoalesced(Message(Handle(8), WM_MOUSEMOVE, 3));
    queue.PostCoalesced(Message(Handle(9), WM_MOUSEMOVE, 4));
    const WPARAM expected[] = {2, 'A', 3, 4};
    for (WPARAM w : expected) {
        MSG msg{};
        ASSERT_TRUE(queue.Take(&msg, nullptr, 0, 0, true));
        EXPECT_EQ(msg.wParam, w);
    }
    EXPECT_EQ(queue.Size(), 0u);
}

}  // namespace
