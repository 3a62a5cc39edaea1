#include <gtest/gtest.h>
#include <windows.h>

#include "TestSupport.h"

namespace {

TEST(Clock, IsMonotonicAndCountsMilliseconds) {
    const DWORD before = timeGetTime();
    Sleep(30);
    const DWORD elapsed = timeGetTime() - before;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Clock, CanBeDrivenAndGivenBack) {
    {
        VorelTest::DrivenClock clock(0xFFFFFFFEull);
        EXPECT_EQ(timeGetTime(), 0xFFFFFFFEu);
        clock.AdvanceMs(3);
        EXPECT_EQ(timeGetTime(), 1u) << "wraps at 2^32";
    }
    const DWORD a = timeGetTime();
    Sleep(2);
    EXPECT_NE(timeGetTime(), a) << "the real clock is back";
}

}  // namespace
