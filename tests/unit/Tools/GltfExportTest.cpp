// The glTF export read back: a small reader of its own here evaluates the
// exported nodes, animations and skins as glTF defines them, and the poses
// must be Vorel's own, mirrored; the Khronos validator checks every export.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>

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

struct Glb {
    json doc;
    std::string bin;

    explicit Glb(const std::string& file) {
        uint32_t jsonLength = 0, binLength = 0;
        std::memcpy(&jsonLength, file.data() + 12, 4);
        doc = json::parse(file.substr(20, jsonLength));
        const size_t bin_at = 20 + jsonLength;
        if (bin_at + 8 <= file.size()) {
            std::memcpy(&binLength, file.data() + bin_at, 4);
            bin = file.substr(bin_at + 8, binLength);
        }
    }
    // An accessor's components as doubles.
    std::vector<double> Read(int index) const {
        const json& a = doc["accessors"][index];
        const json& view = doc["bufferViews"][a["bufferView"].get<int>()];
        static const std::map<std::string, int> width = {
            {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
        const size_t count = a["count"].get<size_t>() * width.at(a["type"].get<std::string>());
        const char* at = bin.data() + view["byteOffset"].get<size_t>() + a.value("byteOffset", size_t(0));
        const int type = a["componentType"];
        const size_t size = type == 5126 || type == 5125 ? 4 : type == 5123 ? 2 : 1;
        std::vector<double> out(count);
        for (size_t i = 0; i < count; ++i) {
            uint32_t u = 0;  // little-endian, as the machine
            float f = 0;
            std::memcpy(&u, at + i * size, size);
            std::memcpy(&f, &u, 4);
            out[i] = type == 5126 ? f : u;
        }
        return out;
    }
};

// A node's matrix from its translation, rotation (x, y, z, w) and scale.
D3DXMATRIX FromTrs(const std::array<float, 10>& v) {
    D3DXMATRIX s, r, t;
    const D3DXQUATERNION q(v[3], v[4], v[5], v[6]);
    D3DXMatrixScaling(&s, v[7], v[8], v[9]);
    D3DXMatrixRotationQuaternion(&r, &q);
    D3DXMatrixTranslation(&t, v[0], v[1], v[2]);
    return s * r * t;
}

// Where a node's translation, rotation and scale lie in its ten numbers.
const std::map<std::string, size_t> kPart = {{"translation", 0}, {"rotation", 3}, {"scale", 7}};

// Every node's global matrix at `seconds` of animation `a` (-1: none).
std::vector<D3DXMATRIX> Globals(const Glb& glb, int a, double seconds) {
    const json& nodes = glb.doc["nodes"];
    std::vector<std::array<float, 10>> trs(nodes.size(), {0, 0, 0, 0, 0, 0, 1, 1, 1, 1});
    for (size_t n = 0; n < nodes.size(); ++n)
        for (const auto& [path, at] : kPart)
            for (size_t i = 0; nodes[n].contains(path) && i < nodes[n][path].size(); ++i)
                trs[n][at + i] = nodes[n][path][i];
    if (a >= 0) {
        const json& animation = glb.doc["animations"][a];
        for (const json& channel : animation["channels"]) {
            const json& sampler = animation["samplers"][channel["sampler"].get<int>()];
            const std::vector<double> times = glb.Read(sampler["input"]),
                                      values = glb.Read(sampler["output"]);
            const std::string path = channel["target"]["path"];
            const size_t width = path == "rotation" ? 4 : 3;
            size_t k = 0;
            while (k + 1 < times.size() && times[k + 1] <= seconds)
                ++k;
            const double u = k + 1 < times.size() && seconds > times[k]
                                 ? (seconds - times[k]) / (times[k + 1] - times[k])
                                 : 0;
            const double* p = &values[k * width];
            const double* q = k + 1 < times.size() ? &values[(k + 1) * width] : p;
            float* out = &trs[channel["target"]["node"].get<int>()][kPart.at(path)];
            double dot = 0;
            for (size_t i = 0; i < width; ++i)
                dot += p[i] * q[i];
            const double angle = width == 4 ? std::acos(std::clamp(dot, -1.0, 1.0)) : 0;
            const double a0 = angle > 1e-9 ? std::sin((1 - u) * angle) / std::sin(angle) : 1 - u,
                         a1 = angle > 1e-9 ? std::sin(u * angle) / std::sin(angle) : u;
            for (size_t i = 0; i < width; ++i)
                out[i] = static_cast<float>(a0 * p[i] + a1 * q[i]);
        }
    }
    // From each root down, each node under its parent.
    std::vector<bool> child(nodes.size(), false);
    for (const json& node : nodes)
        for (const json& c : node.value("children", json::array()))
            child[c.get<size_t>()] = true;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    std::vector<std::pair<size_t, D3DXMATRIX>> pending;
    for (size_t n = 0; n < nodes.size(); ++n)
        if (!child[n]) pending.emplace_back(n, identity);
    std::vector<D3DXMATRIX> global(nodes.size());
    while (!pending.empty()) {
        const auto [n, parent] = pending.back();
        pending.pop_back();
        global[n] = FromTrs(trs[n]) * parent;
        for (const json& c : nodes[n].value("children", json::array()))
            pending.emplace_back(c.get<size_t>(), global[n]);
    }
    return global;
}

// Mesh `m`'s vertices posed as glTF poses them.
std::vector<D3DXVECTOR3> Posed(const Glb& glb, const std::vector<D3DXMATRIX>& global, int m) {
    const json& nodes = glb.doc["nodes"];
    int node = -1;
    for (size_t n = 0; n < nodes.size(); ++n)
        if (nodes[n].value("mesh", -1) == m) node = static_cast<int>(n);
    const json& attributes = glb.doc["meshes"][m]["primitives"][0]["attributes"];
    const std::vector<double> p = glb.Read(attributes["POSITION"]);
    std::vector<D3DXVECTOR3> out(p.size() / 3, D3DXVECTOR3(0, 0, 0));
    const auto position = [&](size_t v) { return D3DXVECTOR3(p[v * 3], p[v * 3 + 1], p[v * 3 + 2]); };
    if (!nodes[node].contains("skin")) {
        for (size_t v = 0; v < out.size(); ++v)
            out[v] = Apply(position(v), global[node]);
        return out;
    }
    const json& skin = glb.doc["skins"][nodes[node]["skin"].get<int>()];
    const std::vector<double> ibm = glb.Read(skin["inverseBindMatrices"]);
    std::vector<D3DXMATRIX> joints(skin["joints"].size());
    for (size_t j = 0; j < joints.size(); ++j) {
        D3DXMATRIX inverse;  // column-major: the row-vector matrix, row by row
        std::copy_n(&ibm[j * 16], 16, &inverse._11);
        joints[j] = inverse * global[skin["joints"][j].get<int>()];
    }
    const std::vector<double> which = glb.Read(attributes["JOINTS_0"]),
                              weights = glb.Read(attributes["WEIGHTS_0"]);
    for (size_t v = 0; v < out.size(); ++v)
        for (size_t i = 0; i < 4; ++i)
            out[v] += Apply(position(v), joints[size_t(which[v * 4 + i])]) * float(weights[v * 4 + i]);
    return out;
}

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
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string report;
    char line[4096];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr)
        report += line;
    EXPECT_EQ(pipe != nullptr ? pclose(pipe) : -1, 0) << report;
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
        const Glb glb(file);

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
        const json animations = glb.doc.value("animations", json::array());
        std::vector<size_t> setOf;
        for (size_t s = 0, a = 0; s < model->m_animationSets.size() && a < animations.size(); ++s)
            if (animations[a]["name"] == (model->m_animationSets[s]->m_name.empty()
                                              ? "set " + std::to_string(s + 1)
                                              : model->m_animationSets[s]->m_name)) {
                setOf.push_back(s);
                ++a;
            }
        EXPECT_EQ(setOf.size(), animations.size()) << "each animation named as its set, in order";

        // Poses at three times of each set: Vorel's vertices, mirrored.
        const float radius = std::max(1.0f, model->m_sphereRadius);
        float worst = 0;
        // The bind pose where no set moves anything, else each set.
        for (int a = setOf.empty() ? -1 : 0; a < static_cast<int>(setOf.size()); ++a) {
            const Vorel::cAnimationSet* set = a >= 0 ? model->m_animationSets[setOf[a]].get() : nullptr;
            for (const double share : {0.0, 0.37, 0.81}) {
                const double ticks = set != nullptr ? share * set->m_length : 0;
                if (set != nullptr) model->m_currentSet = static_cast<uint32_t>(setOf[a]);
                model->Update(static_cast<float>(set != nullptr ? ticks : 0));
                const std::vector<D3DXMATRIX> global =
                    Globals(glb, set != nullptr ? a : -1, set != nullptr ? ticks / set->m_ticksPerSecond : 0);
                for (size_t m = 0; m < meshes.size(); ++m) {
                    std::vector<D3DXVECTOR3> viewer;
                    cModel::ModelSpaceVertices(*meshes[m], &viewer);
                    const std::vector<D3DXVECTOR3> posed = Posed(glb, global, static_cast<int>(m));
                    ASSERT_EQ(posed.size(), viewer.size());
                    for (size_t v = 0; v < viewer.size(); ++v)
                        worst = std::max({worst, std::fabs(posed[v].x - viewer[v].x),
                                          std::fabs(posed[v].y - viewer[v].y),
                                          std::fabs(posed[v].z + viewer[v].z)});
                }
            }
            if (set != nullptr) ++animated;
        }
        EXPECT_LT(worst, 1e-3 * radius);
        skinned += skins;
    }
    EXPECT_GT(skinned, 0u);
    EXPECT_GT(animated, 0u);
    EXPECT_GT(facingOut, 10 * facingIn);

    ExpectValid(written);
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
    const Glb a(ReadFile(dir / "a.glb")), b(ReadFile(dir / "b.glb"));
    const auto lastKey = [](const Glb& g) {
        const json& sampler = g.doc["animations"][0]["samplers"][0];
        return g.doc["accessors"][sampler["input"].get<int>()]["max"][0].get<double>();
    };
    EXPECT_NEAR(lastKey(b) * 4, lastKey(a), 1e-6);

    // A file of one frame holding a triangle with `more` after its faces, as GLB.
    const auto triangle = [&](const std::string& frame, const std::string& more) {
        WriteFile(dir / "t.x", "xof 0303txt 0032\nFrame " + frame +
                                   " { Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; " + more + " } }\n");
        EXPECT_EQ(RunXconv("--format glb " + (dir / "t.x").string() + " " + (dir / "t.glb").string()), 0);
        return Glb(ReadFile(dir / "t.glb"));
    };
    // A name in a Windows encoding comes out as UTF-8.
    EXPECT_EQ(triangle("caf\xe9", "").doc["nodes"][0]["name"], "caf\xc3\xa9");
    // Normals of unit length; one of no length is the face's, mirrored as the positions are.
    const Glb normals = triangle("F", "MeshNormals { 3; 0;0;-1;, 0;0;0;, 0;0;-2;; 1; 3;0,1,2;; }");
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
