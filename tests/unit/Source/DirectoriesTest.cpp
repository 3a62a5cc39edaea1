#include <gtest/gtest.h>

#include <filesystem>

#include "Directories.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace VorelTest;

TEST(Directories, WorkingDirectoryIsWholeHoweverLong) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    const std::string name(100, 'w');
    for (size_t limit : {255u, 1024u}) {
        while (fs::current_path().string().size() <= limit) {
            fs::create_directory(name);
            fs::current_path(name);
        }
        EXPECT_EQ(Vorel::GetWorkingDirectory(), fs::current_path().string());
    }
}

TEST(Directories, StartDirectoryStaysWhereTheProcessStarted) {
    KeepCurrentDirectory keep;
    const std::string start = fs::current_path().string();
    EXPECT_EQ(Vorel::GetStartDirectory(), start);
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    EXPECT_EQ(Vorel::GetStartDirectory(), start);
    EXPECT_EQ(Vorel::GetWorkingDirectory(), fs::canonical(scratch.Path()).string());
}

}  // namespace
