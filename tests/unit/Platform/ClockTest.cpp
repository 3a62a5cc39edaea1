#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(Clock, IsMonotonicAndCountsMilliseconds) {
    const DWORD before = timeGetTime();
    Sleep(30);
    const DWORD elapsed = timeGetTime() - before;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
