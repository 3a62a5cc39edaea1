// The converter between .x encodings as a user runs it.
#include <gtest/gtest.h>

#include "Common.h"

namespace {

using VorelTest::ReadFile;
using VorelTest::RunTool;

TEST(XConvTool, ConvertsBetweenEncodingsAndBackToTheSameText) {
    VorelTest::ScratchFolder scratch;
    const std::string fixture = std::string(VOREL_SOURCE_DIR) + "/tests/fixtures/xfile/everything.x";
    const auto dir = scratch.Path();
    ASSERT_EQ(RunTool("vorel-xconv '" + fixture + "' " + (dir / "a.txt").string()), 0);
    EXPECT_EQ(ReadFile(dir / "a.txt").substr(0, 16), "xof 0303txt 0032");
    for (const std::string format : {"bin", "tzip", "bzip"}) {
        ASSERT_EQ(RunTool("vorel-xconv --format " + format + " --float 64 '" + fixture + "' " +
                          (dir / "b").string()),
                  0);
        EXPECT_EQ(ReadFile(dir / "b").substr(8, 8), (format == "bin" ? "bin " : format) + "0064");
        ASSERT_EQ(RunTool("vorel-xconv " + (dir / "b").string() + " " + (dir / "c.txt").string()), 0);
        EXPECT_EQ(ReadFile(dir / "c.txt"), ReadFile(dir / "a.txt")) << format;
    }
}

}  // namespace
