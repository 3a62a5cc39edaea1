// The converter between .x encodings as a user runs it.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

using VorelTest::ReadFile;
using VorelTest::RunTool;

// The samples are written as the converter writes text: converted, they
// come back the same but for their comment line, and so they do from
// compressed binary in 64-bit floats.
TEST(XConvTool, ConvertsBetweenEncodingsAndBackToTheSameText) {
    VorelTest::ScratchFolder scratch;
    const auto dir = scratch.Path();
    for (const auto& sample : VorelTest::SampleModelFiles()) {
        std::string text = ReadFile(sample);
        const size_t comment = text.find("\n//") + 1;
        text.erase(comment, text.find('\n', comment) + 1 - comment);
        ASSERT_EQ(RunTool("vorel-xconv '" + sample.string() + "' " + (dir / "a.x").string()), 0);
        EXPECT_EQ(ReadFile(dir / "a.x"), text) << sample;
        ASSERT_EQ(
            RunTool("vorel-xconv --format bzip --float 64 '" + sample.string() + "' " + (dir / "b").string()),
            0);
        EXPECT_EQ(ReadFile(dir / "b").substr(8, 8), "bzip0064");
        ASSERT_EQ(RunTool("vorel-xconv " + (dir / "b").string() + " " + (dir / "c.x").string()), 0);
        EXPECT_EQ(ReadFile(dir / "c.x"), text) << sample;
    }
}

}  // namespace
