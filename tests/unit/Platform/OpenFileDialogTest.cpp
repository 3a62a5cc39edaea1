#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "TestSupport.h"
#include "win32/OpenFileDialog.h"

namespace {

using namespace VorelTest;
using Platform::OpenFileDialog;
namespace fs = std::filesystem;

void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "xof ";
}

class OpenFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Touch(m_scratch.Path() / "Models" / "a.x");
        Touch(m_scratch.Path() / "Models" / "Mesh.X");
        Touch(m_scratch.Path() / "Models" / "notes.txt");
        Touch(m_scratch.Path() / "Models" / ".hidden.x");
        Touch(m_scratch.Path() / "Models" / "sub" / "b.x");
        fs::current_path(m_scratch.Path());
        m_request.lStructSize = sizeof m_request;
        m_request.lpstrFilter = "*.x\0*.x\0";
        m_request.nFilterIndex = 1;
        m_request.lpstrInitialDir = "Models";
        m_request.Flags = OFN_FILEMUSTEXIST;
    }

    std::vector<std::string> Names(const OpenFileDialog& dialog) {
        std::vector<std::string> names;
        for (const auto& e : dialog.Entries())
            names.push_back(e.folder ? "[" + e.name + "]" : e.name);
        return names;
    }

    KeepCurrentDirectory m_keep;
    ScratchFolder m_scratch;
    OPENFILENAMEA m_request{};
};

TEST_F(OpenFileDialogTest, ListsFoldersThenTheFilesOfTheFilterWhateverTheirCase) {
    OpenFileDialog dialog(m_request);
    EXPECT_EQ(dialog.Folder(), fs::canonical(m_scratch.Path() / "Models"));
    EXPECT_EQ(Names(dialog), (std::vector<std::string>{"[sub]", "a.x", "Mesh.X"}));
    m_request.lpstrInitialDir = "Models\\sub";
    EXPECT_EQ(Names(OpenFileDialog(m_request)), (std::vector<std::string>{"b.x"}))
        << "a folder with backslashes";
    m_request.lpstrInitialDir = "Missing\\Folder";
    EXPECT_EQ(OpenFileDialog(m_request).Folder(), fs::canonical(m_scratch.Path()))
        << "missing: the current one";

    m_request.lpstrInitialDir = "Models";
    m_request.lpstrFilter = "Models (*.x)\0*.x\0Text\0*.txt;*.md\0All\0*.*\0";
    m_request.nFilterIndex = 2;
    OpenFileDialog filtered(m_request);
    ASSERT_EQ(filtered.Filters().size(), 3u);
    EXPECT_EQ(Names(filtered), (std::vector<std::string>{"[sub]", "notes.txt"}));
    filtered.SetFilter(2);
    EXPECT_EQ(Names(filtered), (std::vector<std::string>{"[sub]", "a.x", "Mesh.X", "notes.txt"}));
    m_request.nFilterIndex = 9;  // past the list: the first filter
    EXPECT_EQ(OpenFileDialog(m_request).FilterIndex(), 0u);
}

TEST_F(OpenFileDialogTest, TypedNamesEnterFoldersOrChooseFilesThatExistWhenTheyMust) {
    OpenFileDialog dialog(m_request);
    dialog.Accept("sub");
    EXPECT_EQ(dialog.Folder(), fs::canonical(m_scratch.Path() / "Models" / "sub"));
    EXPECT_EQ(dialog.GetState(), OpenFileDialog::State::Open);
    dialog.Accept("missing.x");
    EXPECT_EQ(dialog.GetState(), OpenFileDialog::State::Open);
    EXPECT_NE(dialog.Error().find("file not found"), std::string::npos);
    dialog.Up();
    dialog.Accept("sub/../Mesh.X");
    ASSERT_EQ(dialog.GetState(), OpenFileDialog::State::Accepted);
    EXPECT_EQ(dialog.Chosen(), (fs::canonical(m_scratch.Path() / "Models") / "Mesh.X").string());

    m_request.Flags = 0;
    OpenFileDialog free(m_request);
    free.Accept("new.x");
    EXPECT_EQ(free.GetState(), OpenFileDialog::State::Accepted) << "a missing file, when it need not exist";
}

// The chosen path with the offsets of its name and extension, and its name
// alone: a long path is neither cut nor dropped.
TEST_F(OpenFileDialogTest, WritesTheChosenPathNeitherCutNorDropped) {
    const fs::path deep = m_scratch.Path() / std::string(120, 'p') / std::string(120, 'q') / "long.x";
    Touch(deep);
    OpenFileDialog dialog(m_request);
    dialog.Accept(deep.string());
    ASSERT_EQ(dialog.GetState(), OpenFileDialog::State::Accepted);
    ASSERT_GT(dialog.Chosen().size(), 255u);

    std::vector<char> small(256, '\0');
    m_request.lpstrFile = small.data();
    m_request.nMaxFile = 256;
    EXPECT_FALSE(dialog.WriteResult(&m_request)) << "too small a buffer fails rather than cut";
    WORD needed = 0;
    std::memcpy(&needed, small.data(), sizeof needed);
    EXPECT_EQ(needed, dialog.Chosen().size() + 1);

    std::vector<char> large(32768, '\0');
    char title[8];
    m_request.lpstrFile = large.data();
    m_request.nMaxFile = 32768;
    m_request.lpstrFileTitle = title;
    m_request.nMaxFileTitle = sizeof title;
    ASSERT_TRUE(dialog.WriteResult(&m_request));
    EXPECT_EQ(std::string(large.data()), fs::canonical(deep).string());
    EXPECT_STREQ(large.data() + m_request.nFileOffset, "long.x");
    EXPECT_STREQ(large.data() + m_request.nFileExtension, "x");
    EXPECT_STREQ(title, "long.x");
}

}  // namespace
