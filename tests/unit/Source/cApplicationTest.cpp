#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "Singletons.h"
#include "TestSupport.h"
#include "cApplication.h"
#include "cTimer.h"

namespace {

using Vorel::cApplication;
using VorelTest::DrivenClock;

// Init brings up the managers it initialises; they go again after each test.
class cApplicationTest : public ::testing::Test {
protected:
    void TearDown() override { Vorel::DestroySingletons(); }
};

// Runs `frames` frames, with `extraMs` of time passing between the end of
// each frame and the start of the next; returns the figure after each.
std::vector<int32_t> RunFrames(cApplication& app, DrivenClock& clock, int frames, uint64_t extraMs = 0) {
    std::vector<int32_t> figures;
    for (int i = 0; i < frames; ++i) {
        app.Update();
        figures.push_back(app.GetFps());
        clock.AdvanceMs(extraMs);
    }
    return figures;
}

TEST(cTimer, ElapsedIsZeroUntilStartedAndSurvivesTheClocksWrap) {
    DrivenClock clock(0xFFFFFFF0ull);
    Vorel::cTimer timer;
    EXPECT_EQ(timer.GetElapsed(), 0);
    timer.Start();
    clock.AdvanceMs(40);
    EXPECT_EQ(timer.GetElapsed(), 40);
}

TEST_F(cApplicationTest, SixteenMillisecondFramesShow31Then62) {
    DrivenClock clock;
    cApplication app;
    ASSERT_TRUE(app.Init());
    const auto figures = RunFrames(app, clock, 22);
    // Frame n starts at 16(n-1) ms; the refresh timer started at 0, so the
    // first refresh is frame 8 (112 ms) and the next frame 15 (224 ms).
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(figures[n - 1], 0) << "frame " << n;
    for (int n = 8; n <= 14; ++n)
        EXPECT_EQ(figures[n - 1], 31) << "frame " << n;
    for (int n = 15; n <= 22; ++n)
        EXPECT_EQ(figures[n - 1], 62) << "frame " << n;
    EXPECT_EQ(app.GetFrameTime(), 16u);
}

TEST_F(cApplicationTest, SeventeenMillisecondFramesShow58) {
    DrivenClock clock;
    cApplication app;
    ASSERT_TRUE(app.Init());
    const auto figures = RunFrames(app, clock, 30, 1);
    EXPECT_EQ(figures.back(), 58);
    EXPECT_EQ(app.GetFrameTime(), 17u);
}

TEST_F(cApplicationTest, RefreshesOnlyWhenMoreThan100MillisecondsHavePassed) {
    DrivenClock clock;
    cApplication app;
    ASSERT_TRUE(app.Init());
    // 20 ms frames: frame 6 starts at exactly 100 ms, frame 7 at 120 ms.
    const auto figures = RunFrames(app, clock, 7, 4);
    EXPECT_EQ(figures[5], 0);
    EXPECT_EQ(figures[6], 25) << "(50 + 0) / 2";
}

TEST_F(cApplicationTest, FirstFrameChangesNothing) {
    DrivenClock clock;
    cApplication app;
    ASSERT_TRUE(app.Init());
    // Make the first frame fall after the refresh mark: its frame time is 0,
    // so the figure stays and only the refresh timer restarts.
    clock.AdvanceMs(500);
    app.Update();
    EXPECT_EQ(app.GetFrameTime(), 0u);
    EXPECT_EQ(app.GetFps(), 0);
    // The restarted refresh timer holds the next refresh back for 100 ms.
    const auto figures = RunFrames(app, clock, 7);
    EXPECT_EQ(figures[5], 0);
    EXPECT_EQ(figures[6], 31);
}

TEST_F(cApplicationTest, BusyWaitEndsAtExactlyTheFramePeriod) {
    DrivenClock clock(1000);
    cApplication app;
    ASSERT_TRUE(app.Init());
    clock.AlignToMs();
    for (int i = 0; i < 3; ++i) {
        const uint32_t start = clock.NowMs();
        app.Update();
        EXPECT_EQ(clock.NowMs() - start, 16u);
    }
}

TEST_F(cApplicationTest, NothingRunsAfterQuitAndTheQuitMessageIsPosted) {
    DrivenClock clock;
    cApplication app;
    ASSERT_TRUE(app.Init());
    app.Update();
    app.Quit();
    EXPECT_FALSE(app.IsRunning());

    const uint64_t reads = clock.Reads();
    const uint32_t now = clock.NowMs();
    app.Update();
    EXPECT_EQ(clock.Reads(), reads) << "no timing, no wait";
    EXPECT_EQ(clock.NowMs(), now);

    // Posted to the active window, the one the device draws in.
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.hwnd, GetActiveWindow());
}

}  // namespace
