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

// On the platform's clock, and on one about to wrap.
TEST(cTimer, ElapsedIsZeroUntilStartedAndSurvivesTheClocksWrap) {
    Vorel::cTimer timer;
    EXPECT_EQ(timer.GetElapsed(), 0);
    timer.Start();
    Sleep(30);
    EXPECT_GE(timer.GetElapsed(), 29);
    EXPECT_LT(timer.GetElapsed(), 5000) << "milliseconds";
    DrivenClock clock(0xFFFFFFF0ull);
    timer.Start();
    clock.AdvanceMs(40);
    EXPECT_EQ(timer.GetElapsed(), 40);
}

// The figure after each of a run of frames, each frame `extraMs` longer
// than the 16 it waits for (after `startMs` before the first): frame n
// starts at (16 + extra)(n - 1); the first refresh comes at the first frame
// more than 100 ms after the refresh timer started. Frames of 20 ms refresh
// at 120 ms, not at exactly 100; a first frame after the refresh mark has a
// frame time of 0, and the timer starts again.
TEST_F(cApplicationTest, TheFigureIsRefreshedEveryHundredMillisecondsOrSo) {
    const struct {
        const char* what;
        uint64_t startMs, extraMs;
        std::vector<std::pair<int, int32_t>> figures;  // frame, figure shown after it
        uint32_t frameTime;
    } cases[] = {{"16 ms", 0, 0, {{7, 0}, {8, 31}, {14, 31}, {15, 62}, {22, 62}}, 16},
                 {"17 ms", 0, 1, {{30, 58}}, 17},
                 {"20 ms", 0, 4, {{6, 0}, {7, 25}}, 20},
                 {"late first frame", 500, 0, {{1, 0}, {7, 0}, {8, 31}}, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DrivenClock clock;
        cApplication app;
        ASSERT_TRUE(app.Init());
        clock.AdvanceMs(c.startMs);
        std::vector<int32_t> figures;  // the figure after each frame
        for (int frame = 0; frame < c.figures.back().first; ++frame, clock.AdvanceMs(c.extraMs)) {
            app.Update();
            figures.push_back(app.GetFps());
        }
        for (const auto& [frame, figure] : c.figures)
            EXPECT_EQ(figures[size_t(frame - 1)], figure) << "frame " << frame;
        EXPECT_EQ(app.GetFrameTime(), c.frameTime);
        Vorel::DestroySingletons();
    }
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
