#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "TestSupport.h"
#include "cMeshContainer.h"
#include "cModelLoader.h"
#include "fixtures/OddShapes.h"

namespace {

using namespace VorelTest;
using Vorel::cMeshContainer;
using Vorel::cModel;
using Vorel::cModelLoader;
namespace fs = std::filesystem;

const fs::path kSamples = fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models";

TEST(ModelLoader, SplitPathAtTheLastSeparator) {
    const struct {
        const char *path, *directory, *file;
    } cases[] = {{"C:\\m\\a.x", "C:/m", "a.x"},
                 {"/models/b/c.x", "/models/b", "c.x"},
                 {"plain.x", "", "plain.x"},
                 {"dir/", "dir", ""}};
    for (const auto& c : cases) {
        const auto [directory, file] = cModelLoader::SplitPath(c.path);
        EXPECT_EQ(directory, c.directory) << c.path;
        EXPECT_EQ(file, c.file) << c.path;
    }
}

TEST(ModelLoader, LoadsOnceAndResetsPlaybackWhenAskedAgain) {
    cModelLoader loader;
    cModel* first = loader.LoadModel((kSamples / "Lumen.x").string(), "Lumen.x");
    ASSERT_NE(first->m_frameRoot, nullptr);
    first->m_currentSet = 2;
    first->m_time = 500;
    first->m_speed = 3;
    cModel* again = loader.LoadModel((kSamples / "." / "Lumen.x").string(), "Lumen.x");
    EXPECT_EQ(again, first) << "the file's canonical path keys the store";
    EXPECT_EQ(again->m_currentSet, 0u);
    EXPECT_EQ(again->m_time, 0.0f);
    EXPECT_EQ(again->m_speed, 3.0f) << "speed persists";
    EXPECT_EQ(loader.FindModel(cModelLoader::Key((kSamples / "Lumen.x").string())), first);
    EXPECT_EQ(loader.FindModel("Lumen.x"), nullptr) << "not the bare name";

    // Another file of the same name is another model.
    ScratchFolder scratch;
    fs::copy_file(kSamples / "Blocks.x", scratch.Path() / "Lumen.x");
    cModel* other = loader.LoadModel((scratch.Path() / "Lumen.x").string(), "Lumen.x");
    EXPECT_NE(other, first);
    EXPECT_EQ(other->m_name, "Lumen.x");

    // A file that fails is not kept: repaired, it loads.
    std::ofstream(scratch.Path() / "late.x") << "xof 0303txt 0032\n";
    EXPECT_EQ(loader.LoadModel((scratch.Path() / "late.x").string(), "late.x")->m_frameRoot, nullptr);
    EXPECT_EQ(loader.FindModel(cModelLoader::Key((scratch.Path() / "late.x").string())), nullptr);
    fs::copy_file(kSamples / "Blocks.x", scratch.Path() / "late.x", fs::copy_options::overwrite_existing);
    EXPECT_NE(loader.LoadModel((scratch.Path() / "late.x").string(), "late.x")->m_frameRoot, nullptr);
}

// A file written again replaces its model and keeps the view; a version
// that does not load changes nothing.
TEST(ModelLoader, AReloadReplacesTheModelAndKeepsItsView) {
    ScratchFolder scratch;
    const std::string path = (scratch.Path() / "m.x").string();
    fs::copy_file(kSamples / "Lumen.x", path);
    cModelLoader loader;
    cModel* first = loader.LoadModel(path, "m.x");
    ASSERT_EQ(first->m_setCount, 3u);
    first->m_currentSet = 2, first->m_time = 40, first->m_speed = 0.5f, first->m_showSkeleton = false;

    std::ofstream(path, std::ios::trunc) << "xof 0303txt 0032\nFrame {";
    {
        CapturedDebugOutput out;
        EXPECT_EQ(loader.ReloadModel(path, "m.x"), nullptr);
        EXPECT_NE(out.Text().find("m.x: line 2: expected '}'"), std::string::npos) << out.Text();
    }
    EXPECT_EQ(loader.FindModel(cModelLoader::Key(path)), first) << "the old model stays";

    fs::copy_file(kSamples / "Lumen.x", path, fs::copy_options::overwrite_existing);
    cModel* second = loader.ReloadModel(path, "m.x");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(loader.FindModel(cModelLoader::Key(path)), second);
    EXPECT_EQ(second->m_name, "m.x");
    EXPECT_EQ(second->m_currentSet, 2u);
    EXPECT_EQ(second->m_time, 40.0f);
    EXPECT_EQ(second->m_speed, 0.5f);
    EXPECT_FALSE(second->m_showSkeleton);

    // The set falls back to the first where the new version has fewer.
    fs::copy_file(kSamples / "Blocks.x", path, fs::copy_options::overwrite_existing);
    cModel* third = loader.ReloadModel(path, "m.x");
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->m_currentSet, 0u);
    EXPECT_EQ(third->m_speed, 0.5f);
}

// Every shape loads or is refused with a message; a wide tree is flattened
// once and played, drawn and bound through its flat lists.
TEST(ModelLoader, HostileShapesLoadOrAreRefusedCleanly) {
    // The frames each shape holds; none for the one nested past the limit.
    const std::map<std::string, size_t> frames = {{"100000 siblings", 100001},
                                                  {"100000 nested frames", 0},
                                                  {"40 levels of doubled references", 1},
                                                  {"50000 references to one name", 50001},
                                                  {"50000 GUID references", 50001},
                                                  {"100000 self-references", 1}};
    ScratchFolder scratch;
    cModelLoader loader;
    cModel* model = nullptr;  // the siblings, played and drawn below
    for (const OddShape& shape : OddShapes()) {
        const std::string path = (scratch.Path() / (std::string(shape.name) + ".x")).string();
        std::ofstream(path) << shape.text;
        CapturedDebugOutput out;
        cModel* loaded = loader.LoadModel(path, shape.name);
        EXPECT_EQ(loaded->m_frames.size(), frames.at(shape.name)) << shape.name << out.Text();
        if (loaded->m_frameRoot == nullptr) {
            EXPECT_NE(out.Text().find("nested less deeply"), std::string::npos) << out.Text();
        }
        if (std::string(shape.name) == "100000 siblings") model = loaded;
    }
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->m_animationSets.size(), 1u);
    const auto& animations = model->m_animationSets[0]->m_animations;
    ASSERT_EQ(animations.size(), 100000u);
    EXPECT_TRUE(std::all_of(animations.begin(), animations.end(),
                            [](const auto& a) { return a->m_frame != nullptr; }));
    EXPECT_EQ(animations[99999]->m_frame, model->FindFrame("F99999"));
    model->Update(0);
    EXPECT_EQ(model->FindFrame("F99999")->m_combined.m_translation, D3DXVECTOR3(1, 0, 0));
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    std::vector<cModel::Line> lines;
    model->DrawSkeleton(identity, &lines);
    EXPECT_EQ(lines.size(), 99999u) << "every sibling but the first, whose parent's joint is the origin";
}

// What the allocator makes of an unnamed frame, a mesh without skin and a
// material whose texture name is empty, and of a mesh with vertices and no
// faces, which comes to it with no adjacency at all.
TEST(ModelLoader, TheAllocatorKeepsWhatIsAbsentAbsent) {
    ScratchFolder scratch;
    const std::string path = (scratch.Path() / "plain.x").string();
    WriteFile(path,
              "xof 0303txt 0032\nFrame {\n Mesh Plain { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
              "  MeshMaterialList { 1; 1; 0;; Material { 0.5;0.25;1;1;; 0; 0;0;0;; 0;0;0;; "
              "TextureFilename { \"\"; } } } }\n"
              " Frame Points { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0; } } }\n");
    cModelLoader loader;
    CapturedDebugOutput out;
    cModel* model = loader.LoadModel(path, "plain.x");
    ASSERT_EQ(model->m_containers.size(), 2u) << out.Text();
    EXPECT_EQ(model->m_frameRoot->Name, nullptr) << "an empty name is no name";
    const cMeshContainer* plain = model->m_containers[0].container;
    EXPECT_EQ(plain->pSkinInfo, nullptr);
    EXPECT_TRUE(plain->m_boneOffsets.empty());
    EXPECT_EQ(plain->m_skinnedMesh, nullptr) << "nothing to skin";
    ASSERT_EQ(plain->NumMaterials, 1u);
    EXPECT_EQ(plain->m_textures[0], nullptr);
    EXPECT_EQ(plain->m_textureFiles[0], "");
    const D3DMATERIAL9& material = plain->m_materials[0];
    EXPECT_TRUE(material.Ambient.r == 0.5f && material.Ambient.g == 0.25f && material.Ambient.b == 1)
        << "ambient is the diffuse colour";
    EXPECT_EQ(out.Text().find("texture"), std::string::npos) << "no texture looked for: " << out.Text();
    EXPECT_EQ(model->m_maxBones, 0);
    const LPD3DXMESH points = model->m_containers[1].container->MeshData.pMesh;
    EXPECT_EQ(points->GetNumVertices(), 3u);
    EXPECT_EQ(points->GetNumFaces(), 0u);
}

TEST(ModelLoader, TheCurrentDirectoryIsTheSameAfterwardsAlsoOnFailure) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    const fs::path before = fs::current_path();
    cModelLoader loader;
    CapturedDebugOutput out;
    const cModel* missing = loader.LoadModel((kSamples / "Missing.x").string(), "Missing.x");
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(missing->m_frameRoot, nullptr) << "a model all the same, with nothing in it";
    EXPECT_NE(out.Text().find("D3DXLoadMeshHierarchyFromX"), std::string::npos) << out.Text();
    loader.LoadModel((kSamples / "Blocks.x").string(), "Blocks.x");
    EXPECT_EQ(fs::current_path(), before);
    // A relative path is the current directory's.
    fs::copy_file(kSamples / "Blocks.x", scratch.Path() / "copy.x");
    EXPECT_NE(loader.LoadModel("copy.x", "copy.x")->m_frameRoot, nullptr);
    EXPECT_EQ(fs::current_path(), before);
}

}  // namespace
