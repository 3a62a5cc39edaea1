// The converter between .x encodings as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

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

namespace {

// Many files at once, as a user runs them over a folder of good, broken and
// unreadable files: one line for each in the files' order, a summary, exit
// code 1; outputs at their place below the output folder, not written over
// unless asked.
TEST(BatchTools, ConvertAndTriageFoldersPastTheFilesThatFail) {
    namespace fs = std::filesystem;
    VorelTest::ScratchFolder scratch;
    const fs::path in = scratch.Path() / "in", samples = fs::path(VOREL_SOURCE_DIR) / "Assets/Models";
    fs::create_directories(in / "sub");
    fs::copy_file(samples / "Blocks.x", in / "w10.x");
    fs::copy_file(samples / "Blocks.x", in / "W2.X");
    fs::copy_file(samples / "Lumen.x", in / "sub/lumen.x");
    VorelTest::WriteFile(in / "broken.x", "not a model");
    VorelTest::WriteFile(in / "notes.txt", "x");
    fs::create_symlink("nowhere", in / "gone.x");
    const std::string out = (scratch.Path() / "out").string(), folder = " '" + in.string() + "'";
    std::string said;
    EXPECT_EQ(RunTool("vorel-xconv --format glb -j 2 -o '" + out + "'" + folder, &said), 1);
    const std::string expected =
        "failed   " + (in / "broken.x").string() + ": " + (in / "broken.x").string() +
        " is not a readable .x file\nfailed   " + (in / "gone.x").string() + ": " + (in / "gone.x").string() +
        " is not a readable .x file\nwrote    " + out + "/sub/lumen.glb\nwrote    " + out +
        "/W2.glb\nwrote    " + out + "/w10.glb\n3 converted, 2 failed, 0 skipped\n";
    EXPECT_EQ(said, expected);
    EXPECT_GT(fs::file_size(out + "/sub/lumen.glb"), 1000u);
    said.clear();
    EXPECT_EQ(RunTool("vorel-xconv --format glb -o '" + out + "' '" + (in / "W2.X").string() + "'", &said),
              0);
    EXPECT_NE(said.find("0 converted, 0 failed, 1 skipped"), std::string::npos) << said;
    said.clear();
    EXPECT_EQ(
        RunTool("vorel-xconv --force -o '" + out + "' '" + (in / "W2.X").string() + "' no-such.x", &said), 1);
    EXPECT_NE(said.find("failed   no-such.x: no such file or folder"), std::string::npos) << said;
    EXPECT_TRUE(fs::exists(out + "/W2.x")) << "the text format's extension";
    EXPECT_EQ(RunTool("vorel-xconv a.x b.x c.x"), 2) << "three paths without -o";
    said.clear();
    const std::string twice = " '" + (in / "sub/lumen.x").string() + "'";
    EXPECT_EQ(RunTool("vorel-xconv --force -o '" + out + "'" + twice + twice, &said), 1);
    EXPECT_NE(said.find("/sub/lumen.x: " + out + "/lumen.x is another input's output"), std::string::npos)
        << said;

    said.clear();
    EXPECT_EQ(RunTool("vorel-info" + folder, &said), 1);
    EXPECT_NE(said.find("loads  " + (in / "sub/lumen.x").string() +
                        ": 4 frames, 1 mesh containers, 81 vertices, 3 animation sets\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("\n5 files: 3 load, 2 do not\n"), std::string::npos) << said;
    said.clear();
    EXPECT_EQ(RunTool("vorel-info --json -j 1" + folder, &said), 1);
    std::istringstream lines(said);
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 6u);
    EXPECT_EQ(objects[0]["loads"], false);
    EXPECT_EQ(objects[2]["path"], (in / "sub/lumen.x").string());
    EXPECT_EQ(objects[2]["animationSets"].size(), 3u) << "the one file's object, with its path";
    EXPECT_EQ(objects[5], nlohmann::json({{"files", 5}, {"loaded", 3}, {"failed", 2}}));
    EXPECT_EQ(RunTool("vorel-info --objects" + folder), 2);
}

}  // namespace
