// Whole models posed as the viewer poses them, from hand-written files.
#include <gtest/gtest.h>

#include <cmath>

#include "MathSupport.h"
#include "TestSupport.h"
#include "cMeshContainer.h"
#include "cModelLoader.h"

namespace {

using namespace VorelTest;
using Vorel::cModel;

// A triangle around `at`, every vertex weighted fully to `bone` (when one
// is named) with the given bone offset.
std::string Triangle(const std::string& name, D3DXVECTOR3 at, const std::string& bone = "",
                     const std::string& offset = "") {
    char vertices[160];
    std::snprintf(vertices, sizeof vertices, "%g;%g;%g;, %g;%g;%g;, %g;%g;%g;;", at.x, at.y, at.z, at.x + 1,
                  at.y, at.z, at.x, at.y + 1, at.z);
    std::string text = "Mesh " + name + " { 3; " + vertices + " 1; 3;0,1,2;;";
    if (!bone.empty()) text += " SkinWeights { \"" + bone + "\"; 3; 0,1,2; 1,1,1; " + offset + ";; }";
    return text + " }\n";
}

class PoseTest : public ::testing::Test {
protected:
    cModel* Load(const std::string& body) {
        const std::string path = (m_scratch.Path() / "pose.x").string();
        WriteFile(path, "xof 0303txt 0032\n" + body);
        return m_loader.LoadModel(path, "pose.x");
    }
    static std::vector<D3DXVECTOR3> Posed(const cModel::Container& c) {
        std::vector<D3DXVECTOR3> vertices;
        cModel::ModelSpaceVertices(c, &vertices);
        return vertices;
    }
    static void ExpectMovedBy(const cModel::Container& c, const std::vector<D3DXVECTOR3>& bind,
                              D3DXVECTOR3 offset) {
        SCOPED_TRACE(c.container->Name);
        const auto now = Posed(c);
        ASSERT_EQ(now.size(), bind.size());
        for (size_t v = 0; v < now.size(); ++v)
            ExpectNear(now[v], bind[v] + offset, kLoose);
    }

    ScratchFolder m_scratch;
    Vorel::cModelLoader m_loader;
};

// The bone stands turned a quarter about y and raised by 1; its only key
// is that same rotation (as files write it, a little short of unit
// length). Whatever the time, nothing moves: not the skin, not the rigid
// mesh under the bone.
TEST_F(PoseTest, AKeyOfTheFramesOwnRotationKeepsTheBindPose) {
    cModel* model = Load(
        "Frame Root {\n"
        " Frame Bone { FrameTransformMatrix { 0,0,-1,0, 0,1,0,0, 1,0,0,0, 0,1,0,1;; }\n" +
        Triangle("Cap", {0, 0, 2}) + " }\n" +
        Triangle("Skin", {1, 1, 0}, "Bone", "0,0,1,0, 0,1,0,0, -1,0,0,0, 0,-1,0,1") +
        "}\n"
        "AnimationSet Turn { Animation { { Bone } AnimationKey { 0; 1; 0; 4; "
        "0.6858936,0,-0.6858936,0;;; } } }\n");
    ASSERT_EQ(model->m_containers.size(), 2u);
    model->Update(0);
    std::vector<std::vector<D3DXVECTOR3>> bind;
    for (const auto& c : model->m_containers)
        bind.push_back(Posed(c));
    // The root's container comes before its child's.
    EXPECT_NEAR(bind[0][0].x, 1, kLoose) << "skinned in the bind pose: where the file puts it";
    EXPECT_NEAR(bind[1][0].x, 2, kLoose) << "the cap turned with the bone: z became x";
    EXPECT_NEAR(bind[1][0].y, 1, kLoose);
    for (float time : {0.0f, 0.5f, 50.0f, 1000.0f}) {
        SCOPED_TRACE("at " + std::to_string(time));
        model->Update(time);
        for (size_t i = 0; i < bind.size(); ++i)
            ExpectMovedBy(model->m_containers[i], bind[i], {0, 0, 0});
    }
}

// A rigid part first, then three skinned parts on three bones; the file
// plays 24 ticks a second.
TEST_F(PoseTest, EverySkinnedContainerFollowsItsOwnBones) {
    std::string body = "AnimTicksPerSecond { 24; }\nFrame Root {\n" + Triangle("Rigid", {0, 0, 0});
    std::string set = "AnimationSet Lift {\n";
    for (int i = 1; i <= 3; ++i) {
        const std::string bone = "Bone" + std::to_string(i), x = std::to_string(i);
        body +=
            " Frame " + bone + " { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, " + x + ",0,0,1;; } }\n";
        body += Triangle("Part" + x, {float(i), 0, 0}, bone, "1,0,0,0, 0,1,0,0, 0,0,1,0, -" + x + ",0,0,1");
        set += " Animation { { " + bone + " } AnimationKey { 2; 2; 0; 3; " + x + ",0,0;;, 24; 3; " + x + "," +
               std::to_string(2 * i) + ",0;;; } }\n";
    }
    cModel* model = Load(body + "}\n" + set + "}\n");
    ASSERT_EQ(model->m_containers.size(), 4u);
    ASSERT_EQ(model->m_animationSets.size(), 1u);
    EXPECT_EQ(model->m_animationSets[0]->m_ticksPerSecond, 24.0f);
    EXPECT_EQ(model->m_maxBones, 1);
    model->Update(0);
    std::vector<std::vector<D3DXVECTOR3>> bind;
    for (const auto& c : model->m_containers)
        bind.push_back(Posed(c));

    model->AdvanceClock(1000);  // the whole set: back at its start
    model->Update(model->m_time);
    for (size_t i = 0; i < 4; ++i)
        ExpectMovedBy(model->m_containers[i], bind[i], {0, 0, 0});
    model->AdvanceClock(500);  // half of it: each bone halfway up
    model->Update(model->m_time);
    ExpectMovedBy(model->m_containers[0], bind[0], {0, 0, 0});
    for (size_t i = 1; i < 4; ++i)
        ExpectMovedBy(model->m_containers[i], bind[i], {0, float(i), 0});
}

// The bundled figure: each vertex has at most four weights, which sum to
// 1; each set ends in the pose it starts with; and in no pose of any set
// (30 a set) is a triangle of the skin more than kAreaChange times larger
// or smaller than in the bind pose: no joint collapses.
TEST_F(PoseTest, TheFigureIsWeightedWellLoopsAndStaysWhole) {
    constexpr float kWeightSum = 1e-5f;  // weights are written to six decimals
    constexpr double kAreaChange = 4;
    cModel* model = m_loader.LoadModel(SampleModelFiles()[0].string(), "Figure.x");
    ASSERT_EQ(model->m_containers.size(), 1u);
    const cModel::Container& body = model->m_containers[0];
    ASSERT_TRUE(body.container->IsSkinned());
    std::vector<std::pair<float, int>> weights(
        body.container->MeshData.pMesh->GetNumVertices());  // sum, count
    for (DWORD b = 0; b < body.container->pSkinInfo->GetNumBones(); ++b)
        for (const auto& [vertex, weight] : Influences(body.container->pSkinInfo, b))
            weights.at(vertex).first += weight, ++weights[vertex].second;
    for (const auto& [sum, count] : weights)
        EXPECT_TRUE(std::fabs(sum - 1) < kWeightSum && count <= 4) << count << " weights summing to " << sum;

    const std::vector<uint32_t> corners = Corners(body.container->MeshData.pMesh);
    const auto areas = [&] {
        const auto p = Posed(body);
        std::vector<double> out;
        for (size_t i = 0; i < corners.size(); i += 3) {
            const D3DXVECTOR3 a = p[corners[i + 1]] - p[corners[i]], b = p[corners[i + 2]] - p[corners[i]];
            out.push_back(std::hypot(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x));
        }
        return out;
    };
    auto sets = std::move(model->m_animationSets);  // none: the bind pose
    model->Update(0);
    const std::vector<double> bind = areas();
    model->m_animationSets = std::move(sets);
    ASSERT_EQ(model->m_animationSets.size(), 3u);
    for (uint32_t s = 0; s < 3; ++s) {
        model->m_currentSet = s;
        const float length = static_cast<float>(model->m_animationSets[s]->m_length);
        model->Update(length - 0.01f);
        const auto end = Posed(body);
        model->Update(0);
        ExpectMovedBy(body, end, {0, 0, 0});  // the end is the start
        double least = 1, most = 1;
        for (int step = 0; step < 30; ++step) {
            model->Update(length * static_cast<float>(step) / 30);
            const auto now = areas();
            for (size_t t = 0; t < now.size(); ++t)
                least = std::min(least, now[t] / bind[t]), most = std::max(most, now[t] / bind[t]);
        }
        EXPECT_GT(least, 1 / kAreaChange) << "set " << s;
        EXPECT_LT(most, kAreaChange) << "set " << s;
    }
}

// Containers are met (drawn, posed, exported) in this order: a frame's,
// then its later siblings' with all they hold, then its children's; not in
// the order of the flat frame list (each frame, then its children).
TEST_F(PoseTest, ContainersAreMetSiblingsBeforeChildren) {
    cModel* model = Load("Frame Root { Frame A { Frame UnderA { " + Triangle("InA", {0, 0, 0}) +
                         " } } Frame B { " + Triangle("InB", {1, 0, 0}) + " } }\n");
    ASSERT_EQ(model->m_frames.size(), 4u);
    EXPECT_STREQ(model->m_frames[2]->Name, "UnderA") << "the flat list: a child before a later sibling";
    ASSERT_EQ(model->m_containers.size(), 2u);
    EXPECT_STREQ(model->m_containers[0].container->Name, "InB");
    EXPECT_STREQ(model->m_containers[1].container->Name, "InA");
}

}  // namespace
