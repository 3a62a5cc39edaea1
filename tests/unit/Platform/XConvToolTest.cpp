// The converter as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TestSupport.h"

namespace {

using namespace VorelTest;

int RunXconv(const std::string& arguments) {
    const std::string command = std::string(VOREL_BINARY_DIR) + "/vorel-xconv " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(XConvTool, ConvertsBetweenEncodingsAndBackToTheSameText) {
    ScratchFolder scratch;
    const std::string fixture = std::string(VOREL_SOURCE_DIR) + "/tests/fixtures/xfile/everything.x";
    const auto dir = scratch.Path();
    ASSERT_EQ(RunXconv("'" + fixture + "' " + (dir / "a.txt").string()), 0);
    EXPECT_EQ(Slurp(dir / "a.txt").substr(0, 16), "xof 0303txt 0032");
    for (const char* format : {"bin", "tzip", "bzip"}) {
        ASSERT_EQ(RunXconv(std::string("--format ") + format + " --float 64 '" + fixture + "' " +
                           (dir / "b").string()),
                  0);
        EXPECT_EQ(Slurp(dir / "b").substr(8, 8),
                  std::string(format == std::string("bin") ? "bin " : format) + "0064");
        ASSERT_EQ(RunXconv((dir / "b").string() + " " + (dir / "c.txt").string()), 0);
        EXPECT_EQ(Slurp(dir / "c.txt"), Slurp(dir / "a.txt")) << format;
    }
}

TEST(XConvTool, RefusesBadInputWithoutCrashing) {
    ScratchFolder scratch;
    const auto dir = scratch.Path();
    std::ofstream(dir / "bad.x") << "xof 0303txt 0032\nFrame {";
    EXPECT_EQ(RunXconv((dir / "bad.x").string() + " " + (dir / "out.x").string()), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.x")) << "nothing written for a file that was not read";
    EXPECT_EQ(RunXconv((dir / "missing.x").string() + " " + (dir / "out.x").string()), 1);
    EXPECT_EQ(RunXconv("--format zip a b"), 2);
    EXPECT_EQ(RunXconv("only-one"), 2);
}

}  // namespace
