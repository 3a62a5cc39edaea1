#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace {

using namespace VorelTest;
namespace fs = std::filesystem;

// Goes down into a chain of new folders until the path is longer than
// `length` characters; returns the deepest folder.
fs::path DescendPast(const fs::path& root, size_t length) {
    fs::current_path(root);
    const std::string name(100, 'd');
    while (fs::current_path().string().size() <= length) {
        fs::create_directory(name);
        fs::current_path(name);
    }
    return fs::current_path();
}

// The size needed, when the buffer is too small, of paths longer than any
// fixed buffer.
TEST(GetCurrentDirectory, ReturnsPathsLongerThanAnyFixedBuffer) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    for (size_t length : {255u, 1024u, 3000u}) {
        const fs::path deep = DescendPast(scratch.Path(), length);
        const DWORD size = GetCurrentDirectoryA(0, nullptr);
        ASSERT_GT(size, length);
        std::string small(size - 1, '#');  // one short: no room for the null
        EXPECT_EQ(GetCurrentDirectoryA(size - 1, small.data()), size);
        EXPECT_EQ(small, std::string(size - 1, '#')) << "a short buffer is left untouched";
        std::string buffer(size, '\0');
        ASSERT_EQ(GetCurrentDirectoryA(size, buffer.data()), size - 1);
        EXPECT_EQ(buffer.c_str(), deep.string());
    }
}

TEST(SetCurrentDirectory, AcceptsBackslashesAndRefusesMissingFolders) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::create_directories(scratch.Path() / "Assets" / "Models");
    fs::current_path(scratch.Path());

    EXPECT_TRUE(SetCurrentDirectoryA("Assets\\Models"));
    EXPECT_EQ(fs::current_path(), fs::canonical(scratch.Path() / "Assets" / "Models"));
    EXPECT_FALSE(SetCurrentDirectoryA("no such folder"));
    EXPECT_FALSE(SetCurrentDirectoryA(""));
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
    EXPECT_EQ(fs::current_path(), fs::canonical(scratch.Path() / "Assets" / "Models"));
}

}  // namespace
