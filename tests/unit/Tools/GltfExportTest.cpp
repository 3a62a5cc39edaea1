// The glTF export read back: posed by glTF's rules (the converter's own
// check), its poses must be Vorel's, mirrored, compressed or not; the
// Khronos validator checks every export, and every compressed one decoded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>

#include "GltfCheck.h"
#include "GltfCompress.h"
#include "GltfExport.h"
#include "MathSupport.h"
#include "TestSupport.h"
#include "cMeshContainer.h"
#include "cModel.h"
#include "cModelLoader.h"

namespace {

using nlohmann::json;
using Vorel::cModel;
using namespace VorelTest;
namespace fs = std::filesystem;

// The Khronos validator passes every file; the test skips where it is not
// installed.
void ExpectValid(const std::vector<fs::path>& files) {
    const fs::path folder = fs::path(VOREL_BINARY_DIR) / "gltf-validator";
    if (!fs::exists(folder / "node_modules" / "gltf-validator"))
        GTEST_SKIP() << "the glTF validator is not installed (test.sh installs it)";
    std::string command =
        "node '" + std::string(VOREL_SOURCE_DIR) + "/tests/gltf/validate.js' '" + folder.string() + "'";
    for (const fs::path& f : files)
        command += " '" + f.string() + "'";
    std::string report;
    EXPECT_EQ(RunCommand(command + " 2>&1", &report), 0) << report;
}

TEST(GltfExport, EveryModelPosesAsTheViewerPosesItAndPassesTheValidator) {
    std::vector<fs::path> files = RealModelFiles();
    for (const fs::path& sample : SampleModelFiles())
        files.push_back(sample);
    ScratchFolder scratch;
    std::vector<fs::path> written;
    CapturedDebugOutput quiet;
    size_t skinned = 0, animated = 0;
    size_t facingOut = 0, facingIn = 0;
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        Vorel::cModelLoader loader;
        cModel* model = loader.LoadModel(path.string(), path.filename().string());
        ASSERT_NE(model->m_frameRoot, nullptr);
        VorelTools::GltfExport exported;
        std::string error;
        ASSERT_TRUE(VorelTools::ExportGltf(*model, path.parent_path().string(), {}, &exported, &error))
            << error;
        const std::string file = VorelTools::GlbFile(exported);
        written.push_back(scratch.Path() / (std::to_string(written.size()) + ".glb"));
        WriteFile(written.back(), file);
        VorelTools::GltfDocument glb;
        ASSERT_TRUE(VorelTools::ReadGlb(file, &glb, &error)) << error;

        // The same triangles, skins and bones, and one animation per set that moves anything.
        size_t triangles = 0, skins = 0;
        std::vector<const cModel::Container*> meshes;
        for (const cModel::Container& c : model->m_containers) {
            LPD3DXMESH mesh = c.container->MeshData.pMesh;
            if (mesh == nullptr || mesh->GetNumFaces() == 0 || mesh->GetNumVertices() == 0) continue;
            triangles += mesh->GetNumFaces();
            meshes.push_back(&c);
            if (!c.container->IsSkinned()) continue;
            ASSERT_LT(skins, glb.doc["skins"].size());
            EXPECT_GE(glb.doc["skins"][skins++]["joints"].size(), c.container->pSkinInfo->GetNumBones());
        }
        // Front faces counter-clockwise: a triangle's own normal mostly on
        // the side of its vertices' normals.
        for (const json& mesh : glb.doc.value("meshes", json::array()))
            for (const json& primitive : mesh["primitives"]) {
                const std::vector<double> p = glb.Read(primitive["attributes"]["POSITION"]),
                                          i = glb.Read(primitive["indices"]),
                                          n = primitive["attributes"].contains("NORMAL")
                                                  ? glb.Read(primitive["attributes"]["NORMAL"])
                                                  : std::vector<double>(p.size());
                triangles -= i.size() / 3;
                for (size_t f = 0; f + 2 < i.size(); f += 3) {
                    const size_t a = size_t(i[f]) * 3, b = size_t(i[f + 1]) * 3, c = size_t(i[f + 2]) * 3;
                    double side = 0;
                    for (int k = 0; k < 3; ++k) {
                        const int k1 = (k + 1) % 3, k2 = (k + 2) % 3;
                        const double face = (p[b + k1] - p[a + k1]) * (p[c + k2] - p[a + k2]) -
                                            (p[b + k2] - p[a + k2]) * (p[c + k1] - p[a + k1]);
                        side += face * (n[a + k] + n[b + k] + n[c + k]);
                    }
                    facingOut += side > 0, facingIn += side < 0;
                }
            }
        EXPECT_EQ(triangles, 0u) << "every triangle exported, once";
        EXPECT_EQ(glb.doc.value("skins", json::array()).size(), skins);
        ASSERT_EQ(glb.doc.value("meshes", json::array()).size(), meshes.size());
        // Posed at every set's key times and between them: Vorel's vertices, mirrored.
        std::vector<VorelTools::SetCheck> sets;
        ASSERT_TRUE(VorelTools::CheckGltf(*model, glb, 0, &sets, &error)) << error;
        for (const VorelTools::SetCheck& set : sets) {
            EXPECT_LE(set.worst, VorelTools::kCheckTolerance) << set.name;
            animated += set.name != "bind pose";
        }
        // A vertex moved by a tenth of the radius is seen.
        const int position = glb.doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"];
        const json& view = glb.doc["bufferViews"][glb.doc["accessors"][position]["bufferView"].get<int>()];
        float* x = reinterpret_cast<float*>(glb.buffer.data() + view.value("byteOffset", 0) +
                                            glb.doc["accessors"][position].value("byteOffset", 0));
        *x += 0.1f * std::max(1e-3f, model->m_sphereRadius);
        glb.read.clear();
        ASSERT_TRUE(VorelTools::CheckGltf(*model, glb, 0, &sets, &error)) << error;
        EXPECT_GT(sets[0].worst, 10 * VorelTools::kCheckTolerance) << "a vertex moved";

        // Compressed: no larger, and decoded again a file that is valid and
        // poses within the quantization's tolerance.
        VorelTools::GltfExport compressed = exported;
        ASSERT_TRUE(VorelTools::CompressGltf(&compressed, &error)) << error;
        EXPECT_LT(compressed.buffer.size(), exported.buffer.size() + 64 + exported.buffer.size() / 8);
        VorelTools::GltfDocument decoded;
        ASSERT_TRUE(VorelTools::ReadGlb(VorelTools::GlbFile(compressed), &decoded, &error)) << error;
        EXPECT_EQ(decoded.doc.dump().find("EXT_meshopt_compression"), std::string::npos);
        ASSERT_TRUE(VorelTools::CheckGltf(*model, decoded, 0, &sets, &error)) << error;
        for (const VorelTools::SetCheck& set : sets)
            EXPECT_LE(set.worst, VorelTools::kCompressedCheckTolerance) << "compressed: " << set.name;
        written.push_back(scratch.Path() / (std::to_string(written.size()) + "-decoded.glb"));
        WriteFile(written.back(), VorelTools::GlbFile({decoded.doc.dump(), decoded.buffer, {}, {}}));
        skinned += skins;
    }
    EXPECT_GT(skinned, 0u);
    EXPECT_GT(animated, 0u);
    EXPECT_GT(facingOut, 10 * facingIn);

    ExpectValid(written);
}

// glTF's own rules: a node given as a matrix, and channels that step,
// run straight, and follow a cubic spline's tangents.
TEST(GltfCheck, PosesNodesAndChannelsByGltfsRules) {
    VorelTools::GltfDocument gltf;
    // Times 0 and 1; the straight and stepped keys (0,0,0) to (1,0,0); the
    // cubic's in, value, out for each key, leaving the first at (2,0,0) a second.
    const std::vector<float> data = {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                     0, 2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    gltf.buffer.assign(reinterpret_cast<const char*>(data.data()), data.size() * 4);
    gltf.doc = json::parse(R"({
      "nodes": [{"matrix": [1,0,0,0, 0,1,0,0, 0,0,1,0, 0,5,0,1], "children": [1]}, {"translation": [0,0,9]}],
      "bufferViews": [{"buffer": 0, "byteLength": 104}],
      "accessors": [{"bufferView": 0, "componentType": 5126, "count": 2, "type": "SCALAR"},
                    {"bufferView": 0, "byteOffset": 8, "componentType": 5126, "count": 2, "type": "VEC3"},
                    {"bufferView": 0, "byteOffset": 32, "componentType": 5126, "count": 6, "type": "VEC3"}],
      "animations": [{"channels": [{"sampler": 0, "target": {"node": 1, "path": "translation"}}],
                      "samplers": [{"input": 0, "output": 1}]},
                     {"channels": [{"sampler": 0, "target": {"node": 1, "path": "translation"}}],
                      "samplers": [{"input": 0, "output": 1, "interpolation": "STEP"}]},
                     {"channels": [{"sampler": 0, "target": {"node": 1, "path": "translation"}}],
                      "samplers": [{"input": 0, "output": 2, "interpolation": "CUBICSPLINE"}]}]})");
    const auto x = [&](int animation, double seconds) {
        const D3DXMATRIX child = VorelTools::GltfGlobals(gltf, animation, seconds)[1];
        EXPECT_FLOAT_EQ(child._42, 5) << "under its parent's matrix";
        return child._41;
    };
    EXPECT_FLOAT_EQ(VorelTools::GltfGlobals(gltf, -1, 0)[1]._43, 9);
    EXPECT_FLOAT_EQ(x(0, 0.5), 0.5f);
    EXPECT_FLOAT_EQ(x(1, 0.5), 0.0f);
    EXPECT_FLOAT_EQ(x(1, 1.0), 1.0f);
    EXPECT_FLOAT_EQ(x(2, 0.5), 0.75f) << "0.5 of the way, and an eighth of the tangent";
    EXPECT_FLOAT_EQ(x(0, 7), 1.0f) << "past the last key";

    // Compressed views that cannot be what they say are refused, not decoded.
    for (const char* view :
         {R"({"buffer": 0, "byteOffset": 0, "byteLength": 4, "count": 4, "mode": "TRIANGLES"})",
          R"({"buffer": 0, "byteOffset": 0, "byteLength": 4, "count": 1, "byteStride": 3,
                                 "mode": "ATTRIBUTES"})",
          R"({"buffer": 0, "byteOffset": 100, "byteLength": 8, "count": 1, "byteStride": 4,
                                 "mode": "ATTRIBUTES"})",
          R"({"buffer": 0, "byteOffset": 0, "byteLength": 8, "count": 4000000000,
                                 "byteStride": 4, "mode": "ATTRIBUTES"})",
          R"({"buffer": 0, "byteOffset": 0, "byteLength": 8, "count": 1, "byteStride": 4,
                                 "mode": "ATTRIBUTES", "filter": "QUATERNION"})",
          R"({"buffer": 0, "byteLength": 8, "count": "one"})"}) {
        VorelTools::GltfDocument bad = gltf;
        bad.doc["bufferViews"][0]["extensions"]["EXT_meshopt_compression"] = json::parse(view);
        std::string why;
        EXPECT_FALSE(VorelTools::DecodeMeshopt(&bad, &why)) << view;
        EXPECT_FALSE(why.empty());
    }
}

VorelTools::GltfDocument ReadBack(const fs::path& file) {
    VorelTools::GltfDocument document;
    std::string why;
    EXPECT_TRUE(VorelTools::ReadGltfFile(file.string(), &document, &why)) << why;
    return document;
}

int RunXconv(const std::string& arguments) {
    return RunTool("vorel-xconv " + arguments);
}

TEST(GltfExport, TheConverterWritesBothFormsAndRefusesWhatItCannotExport) {
    ScratchFolder scratch;
    const fs::path dir = scratch.Path(), lumen = fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models" / "Lumen.x";
    // The document with its buffer and its image beside it, the PNG as it was.
    ASSERT_EQ(RunXconv("--format gltf '" + lumen.string() + "' '" + (dir / "lumen out.gltf").string() + "'"),
              0);
    EXPECT_TRUE(fs::exists(dir / "lumen out.bin"));
    EXPECT_EQ(ReadFile(dir / "lumen out_0.png"), ReadFile(lumen.parent_path() / "lumen.png"));
    const json doc = json::parse(ReadFile(dir / "lumen out.gltf"));
    EXPECT_EQ(doc["buffers"][0]["uri"], "lumen%20out.bin");

    // Key times at the rate given instead of the file's.
    ASSERT_EQ(RunXconv("--format glb '" + lumen.string() + "' " + (dir / "a.glb").string()), 0);
    ASSERT_EQ(
        RunXconv("--format glb --ticks-per-second 4000 '" + lumen.string() + "' " + (dir / "b.glb").string()),
        0);
    const auto a = ReadBack(dir / "a.glb"), b = ReadBack(dir / "b.glb");
    const auto lastKey = [](const VorelTools::GltfDocument& g) {
        const json& sampler = g.doc["animations"][0]["samplers"][0];
        return g.doc["accessors"][sampler["input"].get<int>()]["max"][0].get<double>();
    };
    EXPECT_NEAR(lastKey(b) * 4, lastKey(a), 1e-6);

    // The check: a line for each set within the tolerance; only for glTF.
    std::string said;
    ASSERT_EQ(RunTool("vorel-xconv --check --format glb '" + lumen.string() + "' " + (dir / "c.glb").string(),
                      &said),
              0);
    EXPECT_NE(said.find("checked  " + (dir / "c.glb").string() + ": Sway: "), std::string::npos) << said;
    EXPECT_NE(said.find("(tolerance 1e-04)"), std::string::npos) << said;
    EXPECT_EQ(RunXconv("--check --format txt '" + lumen.string() + "' " + (dir / "c.x").string()), 2);
    // Compressed, in both forms, checked within the quantization's tolerance.
    for (const char* form : {"glb", "gltf"}) {
        said.clear();
        const fs::path out = dir / (std::string("small.") + form);
        ASSERT_EQ(RunTool("vorel-xconv --check --compress --format " + std::string(form) + " '" +
                              lumen.string() + "' " + out.string(),
                          &said),
                  0)
            << form;
        EXPECT_NE(said.find("(tolerance 1e-03)"), std::string::npos) << said;
        EXPECT_NE(ReadFile(out).find("EXT_meshopt_compression"), std::string::npos);
    }
    EXPECT_EQ(RunXconv("--compress --format bin '" + lumen.string() + "' " + (dir / "c.x").string()), 2);

    // A file of one frame holding a triangle with `more` after its faces, as GLB.
    const auto triangle = [&](const std::string& frame, const std::string& more) {
        WriteFile(dir / "t.x", "xof 0303txt 0032\nFrame " + frame +
                                   " { Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; " + more + " } }\n");
        EXPECT_EQ(RunXconv("--format glb " + (dir / "t.x").string() + " " + (dir / "t.glb").string()), 0);
        return ReadBack(dir / "t.glb");
    };
    // A name in a Windows encoding comes out as UTF-8.
    EXPECT_EQ(triangle("caf\xe9", "").doc["nodes"][0]["name"], "caf\xc3\xa9");
    // Normals of unit length; one of no length is the face's, mirrored as the positions are.
    const auto normals = triangle("F", "MeshNormals { 3; 0;0;-1;, 0;0;0;, 0;0;-2;; 1; 3;0,1,2;; }");
    EXPECT_EQ(normals.Read(normals.doc["meshes"][0]["primitives"][0]["attributes"]["NORMAL"]),
              std::vector<double>({0, 0, 1, 0, 0, 1, 0, 0, 1}));

    WriteFile(dir / "templates.x",
              "xof 0303txt 0032\ntemplate Thing { <11111111-2222-3333-4444-555555555555> DWORD a; }\n");
    WriteFile(dir / "bad.x", "xof 0303txt 0032\nFrame {");
    for (const std::string in : {"templates.x", "bad.x", "missing.x"}) {
        EXPECT_EQ(RunXconv("--format glb " + (dir / in).string() + " " + (dir / "out.glb").string()), 1)
            << in;
        EXPECT_FALSE(fs::exists(dir / "out.glb")) << in;
    }
    EXPECT_EQ(RunXconv("--format glb '" + lumen.string() + "' " + (dir / "no" / "such" / "x.glb").string()),
              1);

    ExpectValid({dir / "lumen out.gltf"});
}

// What must hold of any model that loads, however damaged its file.
void ExpectSound(const cModel& model, const std::string& what) {
    SCOPED_TRACE(what);
    // Every frame once: the tree reached from the root is the flat list.
    const std::set<const Vorel::cFrame*> frames(model.m_frames.begin(), model.m_frames.end());
    ASSERT_EQ(frames.size(), model.m_frames.size());
    size_t reached = 0;
    std::vector<const D3DXFRAME*> pending;
    if (model.m_frameRoot != nullptr) pending.push_back(model.m_frameRoot);
    while (!pending.empty() && reached <= frames.size()) {
        const D3DXFRAME* f = pending.back();
        pending.pop_back();
        ++reached;
        EXPECT_EQ(frames.count(static_cast<const Vorel::cFrame*>(f)), 1u);
        if (f->pFrameSibling != nullptr) pending.push_back(f->pFrameSibling);
        if (f->pFrameFirstChild != nullptr) pending.push_back(f->pFrameFirstChild);
    }
    EXPECT_EQ(reached, frames.size());
    for (const cModel::Container& c : model.m_containers) {
        LPD3DXMESH mesh = c.container->MeshData.pMesh;
        if (mesh == nullptr) continue;
        const DWORD vertices = mesh->GetNumVertices();
        const auto corners = Corners(mesh);
        ASSERT_EQ(corners.size(), size_t(mesh->GetNumFaces()) * 3);
        for (size_t i = 0; i < corners.size(); ++i)
            ASSERT_LT(corners[i], vertices) << "index " << i;
        std::vector<D3DXVECTOR3> posed;
        cModel::ModelSpaceVertices({c.container, c.frame}, &posed);
        for (const D3DXVECTOR3& p : posed)
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
                << "vertex " << &p - &posed[0];
        LPD3DXSKININFO skin = c.container->pSkinInfo;
        if (skin == nullptr) continue;
        ASSERT_EQ(c.container->m_boneTransforms.size(), skin->GetNumBones());
        ASSERT_GE(model.m_boneMatrices.size(), skin->GetNumBones()) << "the palette holds every bone";
        for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
            EXPECT_NE(c.container->m_boneTransforms[b], nullptr);
            for (const auto& [vertex, weight] : Influences(skin, b)) {
                ASSERT_LT(vertex, vertices);
                ASSERT_TRUE(std::isfinite(weight));
            }
        }
    }
    for (const auto& set : model.m_animationSets)
        for (const auto& a : set->m_animations) {
            EXPECT_TRUE(a->m_frame == nullptr || frames.count(a->m_frame) == 1);
            const auto inOrder = [](const auto& track) {
                return std::is_sorted(track.begin(), track.end(),
                                      [](const auto& x, const auto& y) { return x.m_time < y.m_time; });
            };
            EXPECT_TRUE(inOrder(a->m_rotationKeys) && inOrder(a->m_scaleKeys) &&
                        inOrder(a->m_translationKeys) && inOrder(a->m_matrixKeys));
        }
}

// Files of every odd shape the fuzzer kept (cut short, flipped, counts that
// lie, values that are not numbers, references everywhere): each loads
// sound, or not at all, poses, and exports as valid glTF.
TEST(GltfExport, WhatTheFuzzerFoundLoadsSoundAndExportsAsValidGltf) {
    ScratchFolder scratch;
    std::vector<fs::path> written;
    CapturedDebugOutput quiet;
    for (const auto& entry :
         fs::directory_iterator(fs::path(VOREL_SOURCE_DIR) / "fuzz" / "corpus" / "model_load")) {
        Vorel::cModelLoader loader;
        cModel* model = loader.LoadModel(entry.path().string(), "model.x");
        ExpectSound(*model, entry.path().filename().string());
        for (float time : {0.0f, 500.0f, 1e9f})
            model->Update(time);
        if (HasFatalFailure()) return;
        VorelTools::GltfExport exported;
        std::string error;
        if (!VorelTools::ExportGltf(*model, scratch.Path().string(), {}, &exported, &error)) {
            EXPECT_EQ(model->m_frameRoot, nullptr) << entry.path() << ": " << error;
            continue;
        }
        written.push_back(scratch.Path() / (std::to_string(written.size()) + ".glb"));
        WriteFile(written.back(), VorelTools::GlbFile(exported));
    }
    EXPECT_GT(written.size(), 100u);
    ExpectValid(written);
}

}  // namespace
