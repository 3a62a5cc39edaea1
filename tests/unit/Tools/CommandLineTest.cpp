// Every program's command line: --help and --version answered with code 0
// (the viewer's without a display), arguments it does not take refused
// with code 2.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Common.h"

namespace {

TEST(CommandLine, EveryProgramAnswersHelpAndVersionAndRefusesWhatItDoesNotTake) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const struct {
        const char* program;
        const char* usage;
        const char* refused;
    } cases[] = {
        {"vorel", "usage: vorel [MODEL.x]", nullptr},
        {"vorel-info", "Usage: vorel-info [OPTIONS] FILE", "--set 1 model.x"},
        {"vorel-xconv", "Usage: vorel-xconv [OPTIONS] IN OUT", "--ticks-per-second 0 a.x b.glb"},
        {"vorel-snapshot", "Usage: vorel-snapshot [OPTIONS] MODEL.x OUT.png", "a.x b.png --fill lines"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        std::string help, version;
        EXPECT_EQ(VorelTest::RunTool(std::string(c.program) + " --help", &help), 0);
        EXPECT_NE(help.find(c.usage), std::string::npos) << help;
        EXPECT_EQ(VorelTest::RunTool(std::string(c.program) + " --version", &version), 0);
        EXPECT_EQ(version, std::string(c.program) + " " + VOREL_VERSION + "\n");
        if (c.refused != nullptr) {
            EXPECT_EQ(VorelTest::RunTool(std::string(c.program) + " " + c.refused), 2);
            EXPECT_EQ(VorelTest::RunTool(c.program), 2) << "no file named";
        }
    }
}

}  // namespace
