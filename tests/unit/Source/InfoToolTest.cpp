// vorel-info as a user runs it, on the sample models and the real files.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

int RunInfo(const fs::path& file, std::string* output) {
    const std::string command = std::string(VOREL_BINARY_DIR) + "/vorel-info --json '" + file.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    output->clear();
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) output->append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExpectPlausible(const fs::path& file) {
    SCOPED_TRACE(file.string());
    std::string json;
    ASSERT_EQ(RunInfo(file, &json), 0);
    for (const char* key : {"\"frames\": ", "\"meshContainers\": [", "\"setCount\": ", "\"animationSets\": [",
                            "\"sphere\": {\"center\": [", "\"radius\": "})
        EXPECT_NE(json.find(key), std::string::npos) << key << " in " << json;
    EXPECT_EQ(json.find("\"frames\": 0,"), std::string::npos) << "every model has frames";
    EXPECT_EQ(json.find("null"), std::string::npos) << "finite numbers only";
}

TEST(InfoTool, DescribesTheSampleModels) {
    const fs::path samples = fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models";
    ExpectPlausible(samples / "Lumen.x");
    ExpectPlausible(samples / "Blocks.x");
    std::string json;
    RunInfo(samples / "Lumen.x", &json);
    EXPECT_NE(json.find("\"setCount\": 3"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"file\": \"lumen.png\", \"found\": true}"), std::string::npos) << json;
}

TEST(InfoTool, DescribesEveryRealFile) {
    const fs::path root = fs::path(VOREL_SOURCE_DIR) / ".." / "shared" / "models";
    std::error_code ec;
    if (!fs::is_directory(root, ec)) GTEST_SKIP() << "../shared/models is not there";
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::string ext = it->path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (it->is_regular_file() && ext == ".x") ExpectPlausible(it->path());
    }
}

TEST(InfoTool, SaysWhenAFileCannotBeRead) {
    VorelTest::ScratchFolder scratch;
    std::string json;
    EXPECT_NE(RunInfo(scratch.Path() / "missing.x", &json), 0);
    EXPECT_TRUE(json.empty());
}

}  // namespace
