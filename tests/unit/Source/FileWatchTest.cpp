#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "cFileWatch.h"

namespace {

namespace fs = std::filesystem;

// A settled change is reported once, 500 ms after the file last changed; a
// file still being written, or gone, is not.
TEST(FileWatch, ReportsEachVersionOnceItHasSettled) {
    VorelTest::ScratchFolder scratch;
    const fs::path file = scratch.Path() / "m.x";
    std::ofstream(file) << "one";
    Vorel::cFileWatch watch(500);
    watch.Watch(file.string());
    EXPECT_EQ(watch.GetPath(), file.string());

    enum Action { Nothing, Write, Remove };
    const struct {
        uint32_t ms;
        Action action;
        const char* text;
        bool reported;
    } steps[] = {{0, Nothing, "", false},
                 {1000, Nothing, "", false},  // the version in hand
                 {1100, Write, "two", false},
                 {1300, Write, "three!", false},  // still being written
                 {1700, Nothing, "", false},
                 {1800, Nothing, "", true},   // still for 500 ms
                 {2500, Nothing, "", false},  // once only
                 {2600, Remove, "", false},
                 {4000, Nothing, "", false},  // gone: nothing to read
                 {4100, Write, "four", false},
                 {4550, Nothing, "", false},
                 {4650, Nothing, "", true},
                 // Looked at ten times a second: the write at 4700 is seen at 4750.
                 {4700, Write, "five", false},
                 {4750, Nothing, "", false},
                 {5200, Nothing, "", false},
                 {5300, Nothing, "", true}};
    for (const auto& step : steps) {
        if (step.action == Write) {
            std::ofstream(file, std::ios::trunc) << step.text;
            // Same size, later time: a rewrite shows in the modification time.
            fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(step.ms));
        }
        if (step.action == Remove) fs::remove(file);
        EXPECT_EQ(watch.Poll(step.ms), step.reported) << "at " << step.ms << " ms";
    }
}

TEST(FileWatch, WatchesNothingUntilToldAndSurvivesTheClocksWrap) {
    Vorel::cFileWatch idle;
    EXPECT_FALSE(idle.Poll(0));
    EXPECT_FALSE(idle.Poll(100000));

    VorelTest::ScratchFolder scratch;
    const fs::path file = scratch.Path() / "m.x";
    std::ofstream(file) << "one";
    Vorel::cFileWatch watch(500);
    watch.Watch(file.string());
    std::ofstream(file, std::ios::trunc) << "two, longer";
    EXPECT_FALSE(watch.Poll(0xFFFFFF00u));
    EXPECT_TRUE(watch.Poll(0x00000200u)) << "600 ms later, across the wrap";
}

}  // namespace
