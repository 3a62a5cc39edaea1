// vorel-info as a user runs it, on the sample models and the real files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

int RunInfo(const fs::path& file, std::string* output, const std::string& options = "--json") {
    output->clear();
    return VorelTest::RunTool("vorel-info " + options + " '" + file.string() + "'", output);
}

nlohmann::json Describe(const fs::path& file) {
    std::string text;
    EXPECT_EQ(RunInfo(file, &text), 0);
    return nlohmann::json::parse(text, nullptr, false);
}

void ExpectPlausible(const fs::path& file) {
    SCOPED_TRACE(file.string());
    const nlohmann::json info = Describe(file);
    ASSERT_TRUE(info.is_object());
    EXPECT_GT(info["frames"].get<int>(), 0) << "every model has frames";
    EXPECT_TRUE(info["meshContainers"].is_array());
    EXPECT_TRUE(info["animationSets"].is_array());
    EXPECT_TRUE(info["setCount"].is_number());
    EXPECT_TRUE(info["sphere"]["radius"].is_number()) << "finite numbers only";
    for (const auto& v : info["sphere"]["center"])
        EXPECT_TRUE(v.is_number()) << "finite numbers only";
}

TEST(InfoTool, DescribesTheSamplesAndEveryRealFile) {
    const fs::path samples = fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models";
    std::vector<fs::path> files = VorelTest::RealModelFiles();
    for (const fs::path& sample : VorelTest::SampleModelFiles())
        files.push_back(sample);
    for (const fs::path& file : files)
        ExpectPlausible(file);
    const nlohmann::json lumen = Describe(samples / "Lumen.x");
    EXPECT_EQ(lumen["setCount"], 3);
    EXPECT_EQ(lumen["meshContainers"][0]["textures"][0],
              nlohmann::json({{"file", "lumen.png"}, {"found", true}}));
}

// The containers of a pose, each with its vertices' x coordinates as printed.
struct PosedContainer {
    std::string name, kind;
    std::vector<float> x;
};

std::vector<PosedContainer> Pose(const fs::path& file, const std::string& options, int* status) {
    std::string text, word;
    *status = RunInfo(file, &text, "--pose " + options);
    std::vector<PosedContainer> containers;
    std::istringstream in(text);
    size_t count = 0;
    for (PosedContainer c; in >> word >> c.name >> c.kind >> count; containers.push_back(c), c.x.clear()) {
        EXPECT_EQ(word, "container");
        float v[3];
        while (c.x.size() < count && in >> v[0] >> v[1] >> v[2])
            c.x.push_back(v[0]);
        EXPECT_EQ(c.x.size(), count) << c.name << ": numbers, all finite (nan and inf do not read)";
    }
    return containers;
}

TEST(InfoTool, PosesTheSampleAndRefusesSetsItDoesNotHave) {
    const fs::path samples = fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models";
    int status = -1;
    const auto rest = Pose(samples / "Lumen.x", "0", &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].kind, "skinned");
    const auto swayed = Pose(samples / "Lumen.x", "500 --set 0", &status);
    ASSERT_EQ(swayed.size(), 1u);
    EXPECT_GT(std::fabs(swayed[0].x.back() - rest[0].x.back()), 0.5f) << "the top sways";

    Pose(samples / "Lumen.x", "0 --set 3", &status);
    EXPECT_EQ(status, 1) << "Lumen has three sets";
    const auto blocks = Pose(samples / "Blocks.x", "100", &status);
    EXPECT_EQ(status, 0) << "no sets: the bind pose";
    EXPECT_EQ(blocks.size(), 6u);
    Pose(samples / "Blocks.x", "0 --set 0", &status);
    EXPECT_EQ(status, 1);
}

// A file it cannot read, and a file it reads that holds no model (template
// declarations only): the exit code says that nothing loaded, in every mode.
TEST(InfoTool, SaysWhenAFileCannotBeReadOrHoldsNoModel) {
    VorelTest::ScratchFolder scratch;
    const fs::path templates = scratch.Path() / "templates.x";
    VorelTest::WriteFile(
        templates, "xof 0303txt 0032\ntemplate Thing { <11111111-2222-3333-4444-555555555555> DWORD n; }\n");
    for (const fs::path& file : {scratch.Path() / "missing.x", templates})
        for (const char* options : {"--json", "", "--pose 0"}) {
            std::string output;
            EXPECT_EQ(RunInfo(file, &output, options), 1) << file << " " << options;
            EXPECT_TRUE(output.empty()) << output;
        }
    std::string objects;
    EXPECT_EQ(RunInfo(templates, &objects, "--objects"), 0) << "its objects (none) are all there is to list";
}

// What the load said and where it looked, as the information panel shows
// it: the texture's places, the track of a frame the file lacks, the tick
// rate's origin, the trace lines, the encoding and the size.
TEST(InfoTool, SaysWhereTexturesWereSoughtAndWhatTheLoadSaid) {
    VorelTest::ScratchFolder scratch;
    const fs::path file = scratch.Path() / "odd.x";
    VorelTest::WriteFile(
        file,
        "xof 0303txt 0032\nFrame Root { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; "
        "TextureFilename { \"maps\\\\Skin.png\"; } } } } }\n"
        "AnimationSet Walk { Animation { Frame Nowhere { } AnimationKey { 2; 1; 0; 3; 1,2,3;;; } }\n"
        "Animation { { Elsewhere } AnimationKey { 2; 1; 0; 3; 1,2,3;;; } } }\n");
    const nlohmann::json info = Describe(file);
    const std::string folder = fs::canonical(scratch.Path()).string();
    EXPECT_EQ(info["encoding"], "text");
    EXPECT_EQ(info["floatBits"], 32);
    EXPECT_EQ(info["bytes"], fs::file_size(file));
    EXPECT_GE(info["loadMilliseconds"].get<double>(), 0.0);
    EXPECT_EQ(
        info["textures"][0],
        nlohmann::json(
            {{"file", "maps\\Skin.png"},
             {"foundAt", nullptr},
             {"tried", {folder + "/maps\\Skin.png", folder + "/maps/Skin.png", folder + "/Skin.png"}}}));
    const nlohmann::json& walk = info["animationSets"][0];
    EXPECT_EQ(walk["unbound"], nlohmann::json({"Nowhere", ""})) << "a reference to nothing names nothing";
    EXPECT_EQ(walk["rateFrom"], "default");
    const std::string warnings = info["warnings"].dump();
    EXPECT_NE(warnings.find("maps\\\\Skin.png: texture file not found"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("the reference to Elsewhere names no data object"), std::string::npos)
        << warnings;
}

}  // namespace
