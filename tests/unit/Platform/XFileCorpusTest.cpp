// The real files in ../shared/models: every one reads, and reads back the
// same from every encoding the writer makes of it.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "unit/Platform/XFileSupport.h"

namespace {

using namespace VorelTest;
namespace fs = std::filesystem;

TEST(XFileCorpus, EveryFileReadsAndSurvivesEveryEncoding) {
    const auto files = RealModelFiles();
    if (files.empty()) GTEST_SKIP() << "../shared/models is not there";
    MutedDebugOutput quiet;  // the corpus has known warnings
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        Platform::FileBytes file(path.c_str());
        ASSERT_EQ(file.Error(), 0);
        Document original;
        ASSERT_EQ(ReadDocument(file.Bytes(), path.string(), StandardTemplates(), &original), S_OK);
        EXPECT_FALSE(original.top.empty());
        const std::string text = WriteDocument(original, Format::Text, 32);
        const std::string dump = Dump(original);
        for (Format format :
             {Format::Text, Format::Binary, Format::TextCompressed, Format::BinaryCompressed}) {
            for (int floatSize : {32, 64}) {
                Document copy;
                ASSERT_EQ(Read(WriteDocument(original, format, floatSize), &copy), S_OK);
                EXPECT_EQ(Dump(copy), dump);
                EXPECT_EQ(WriteDocument(copy, Format::Text, 32), text) << "the same text from any encoding";
            }
        }
    }
}

}  // namespace
