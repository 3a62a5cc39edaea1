// Poses of the real files against an independent evaluation: Assimp reads
// the same file, and its key tracks are evaluated here as the format means
// them (each component its own track, held at its ends, the node's own
// transform where a channel lacks a component). Assimp mirrors z, so its
// matrices are compared through S · Mᵀ · S with S = diag(1, 1, -1, 1).
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <assimp/Importer.hpp>

#include <cmath>
#include <map>
#include <set>

#include "TestSupport.h"
#include "cMeshContainer.h"
#include "cModelLoader.h"

namespace {

using namespace VorelTest;
using Vorel::cFrame;
using Vorel::cModel;

// A model-space pose that agrees to this much, relative to the largest
// entry of the matrix, is the same pose.
constexpr double kSamePose = 1e-3;

template <class Key, class Blend>
auto Sample(const Key* keys, unsigned count, double t, decltype(keys->mValue) otherwise, Blend blend) {
    if (count == 0) return otherwise;
    unsigned i = 0;
    while (i < count && keys[i].mTime <= t)
        ++i;
    if (i == 0) return keys[0].mValue;
    if (i == count) return keys[count - 1].mValue;
    return blend(keys[i - 1].mValue, keys[i].mValue,
                 static_cast<float>((t - keys[i - 1].mTime) / (keys[i].mTime - keys[i - 1].mTime)));
}

// Every node's model-space transform at tick t of the animation (none: the
// bind pose), by name; names met twice are left out.
std::map<std::string, aiMatrix4x4> Evaluate(const aiScene& scene, const aiAnimation* animation, double t) {
    std::map<std::string, aiMatrix4x4> local;
    for (unsigned c = 0; animation != nullptr && c < animation->mNumChannels; ++c) {
        const aiNodeAnim& channel = *animation->mChannels[c];
        const aiNode* node = scene.mRootNode->FindNode(channel.mNodeName);
        if (node == nullptr) continue;
        aiVector3D scale, position;
        aiQuaternion rotation;
        node->mTransformation.Decompose(scale, rotation, position);
        const auto lerp = [](const aiVector3D& a, const aiVector3D& b, float f) { return a + (b - a) * f; };
        const auto slerp = [](const aiQuaternion& a, const aiQuaternion& b, float f) {
            aiQuaternion q;
            aiQuaternion::Interpolate(q, a, b, f);
            return q.Normalize();
        };
        local[channel.mNodeName.C_Str()] =
            aiMatrix4x4(Sample(channel.mScalingKeys, channel.mNumScalingKeys, t, scale, lerp),
                        Sample(channel.mRotationKeys, channel.mNumRotationKeys, t, rotation, slerp),
                        Sample(channel.mPositionKeys, channel.mNumPositionKeys, t, position, lerp));
    }
    std::map<std::string, aiMatrix4x4> global;
    std::set<std::string> twice;
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending{{scene.mRootNode, aiMatrix4x4()}};
    while (!pending.empty()) {
        const auto [node, parent] = pending.back();
        pending.pop_back();
        const auto own = local.find(node->mName.C_Str());
        const aiMatrix4x4 combined = parent * (own != local.end() ? own->second : node->mTransformation);
        if (!global.emplace(node->mName.C_Str(), combined).second) twice.insert(node->mName.C_Str());
        for (unsigned i = 0; i < node->mNumChildren; ++i)
            pending.emplace_back(node->mChildren[i], combined);
    }
    for (const auto& name : twice)
        global.erase(name);
    return global;
}

D3DXMATRIX Unmirrored(const aiMatrix4x4& a) {
    const float s[4] = {1, 1, -1, 1};
    D3DXMATRIX m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m.m[c][r] = s[r] * a[r][c] * s[c];
    return m;
}

// Frames under a matrix key with a mirror, which Assimp's decomposition
// drops: there the two cannot agree.
std::set<const cFrame*> UnderMirroredKeys(const cModel& model, const Vorel::cAnimationSet& set) {
    std::set<const cFrame*> mirrored;
    for (const auto& animation : set.m_animations)
        for (const auto& key : animation->m_matrixKeys)
            if (key.m_value.m_scale.x * key.m_value.m_scale.y * key.m_value.m_scale.z < 0)
                mirrored.insert(animation->m_frame);
    for (const cFrame* frame : model.m_frames)  // each before its children
        if (mirrored.count(frame))
            for (auto* c = static_cast<const cFrame*>(frame->pFrameFirstChild); c != nullptr;
                 c = static_cast<const cFrame*>(c->pFrameSibling))
                mirrored.insert(c);
    return mirrored;
}

// The samples, which Assimp must read, with the same triangles; then the
// real files that both read.
TEST(PoseOracle, EveryFrameStandsWhereAnIndependentEvaluationPutsIt) {
    auto files = SampleModelFiles();
    const size_t samples = files.size();
    for (const auto& path : RealModelFiles())
        files.push_back(path);
    CapturedDebugOutput quiet;
    size_t compared = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = files[i].string();
        SCOPED_TRACE(path);
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        Vorel::cModelLoader loader;
        cModel* model = loader.LoadModel(path, path);
        if (i < samples) {
            ASSERT_NE(scene, nullptr) << importer.GetErrorString();
            size_t triangles = 0;
            for (const auto& c : model->m_containers)
                triangles += c.container->MeshData.pMesh->GetNumFaces();
            for (unsigned m = 0; m < scene->mNumMeshes; ++m)
                for (unsigned f = 0; f < scene->mMeshes[m]->mNumFaces; ++f)
                    triangles -= scene->mMeshes[m]->mFaces[f].mNumIndices - 2;
            EXPECT_EQ(triangles, 0u);
        }
        if (scene == nullptr || model->m_frameRoot == nullptr) continue;  // a file only one of the two reads
        ASSERT_EQ(model->m_animationSets.size(), scene->mNumAnimations);
        for (size_t s = 0; s < std::max<size_t>(1, scene->mNumAnimations); ++s) {
            const aiAnimation* animation = scene->mNumAnimations > 0 ? scene->mAnimations[s] : nullptr;
            std::set<const cFrame*> skip;
            double length = 0;
            if (animation != nullptr) {
                const Vorel::cAnimationSet& set = *model->m_animationSets[s];
                EXPECT_EQ(set.m_name, animation->mName.C_Str());
                EXPECT_TRUE(animation->mTicksPerSecond <= 0 ||
                            set.m_ticksPerSecond == animation->mTicksPerSecond);
                skip = UnderMirroredKeys(*model, set);
                length = set.m_length;
                model->m_currentSet = static_cast<uint32_t>(s);
            }
            // Inside the set: its end is its start again.
            for (double t : {0.0, 0.37 * length, 0.5 * length, 0.999 * length}) {
                const auto expected = Evaluate(*scene, animation, t);
                model->Update(static_cast<float>(t));
                for (const cFrame* frame : model->m_frames) {
                    const auto it = frame->Name != nullptr && *frame->Name != 0 ? expected.find(frame->Name)
                                                                                : expected.end();
                    if (it == expected.end() || skip.count(frame)) continue;
                    const D3DXMATRIX ours = Vorel::cVQS::ToMatrix(frame->m_combined),
                                     theirs = Unmirrored(it->second);
                    double largest = 1, difference = 0;
                    for (int r = 0; r < 4; ++r)
                        for (int c = 0; c < 4; ++c) {
                            largest = std::max(largest, std::fabs(double(theirs.m[r][c])));
                            difference =
                                std::max(difference, std::fabs(double(ours.m[r][c]) - theirs.m[r][c]));
                        }
                    EXPECT_LT(difference / largest, kSamePose)
                        << frame->Name << " in set " << s << " at " << t;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, files.size() > samples ? 1000u : 100u);
}

}  // namespace
