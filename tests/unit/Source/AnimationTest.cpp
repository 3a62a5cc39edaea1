#include <gtest/gtest.h>
#include <rmxfguid.h>

#include <fstream>

#include "TestSupport.h"
#include "cModel.h"

namespace {

using namespace VorelTest;
using Vorel::cModel;

// A model with the animation sets of the given .x text.
class AnimationTest : public ::testing::Test {
protected:
    cModel& Read(const std::string& body) {
        const std::string path = (m_scratch.Path() / "model.x").string();
        std::ofstream(path) << "xof 0303txt 0032\n" << body;
        EXPECT_TRUE(m_model.ReadAnimations(path));
        return m_model;
    }
    ScratchFolder m_scratch;
    cModel m_model;
};

const char* kKeys3Rotations = "AnimationKey { 0; 3; 0; 4; 1,0,0,0;;, 10; 4; 0,1,0,0;;, 20; 4; 0,0,1,0;;; }";
const char* kKeys5Positions =
    "AnimationKey { 2; 5; 5; 3; 1,0,0;;, 15; 3; 2,0,0;;, 25; 3; 3,0,0;;, 35; 3; 4,0,0;;, 45; 3; 5,0,0;;; }";

TEST_F(AnimationTest, SetsAnimationsAndBoneNames) {
    cModel& model = Read("Frame Arm { Frame Leg { } }\nAnimation Stray { { Arm } }\n"
                         "AnimationSet Walk { Animation A { { Arm } " + std::string(kKeys3Rotations) + " }\n"
                         "  Animation B { " + kKeys5Positions + " { Leg } } }\n"
                         "AnimationSet Idle { }\n");
    ASSERT_EQ(model.m_animationSets.size(), 2u) << "an animation outside any set is not read";
    const auto& walk = *model.m_animationSets[0];
    EXPECT_EQ(walk.m_name, "Walk");
    ASSERT_EQ(walk.m_animations.size(), 2u);
    EXPECT_EQ(walk.m_animations[0]->m_name, "Arm");
    EXPECT_EQ(walk.m_animations[1]->m_name, "Leg") << "the frame reference may follow the keys";
    EXPECT_EQ(walk.m_length, 45) << "the largest key time of the set";
    EXPECT_EQ(model.m_animationSets[1]->m_name, "Idle");
    EXPECT_EQ(model.m_animationSets[1]->m_length, 0);
}

TEST_F(AnimationTest, RotationKeysAreStoredWFirstInTheFileAndLast) {
    const auto& keys = Read(std::string("AnimationSet S { Animation A { ") + kKeys3Rotations + " } }")
                           .m_animationSets[0]->m_animations[0]->m_keys;
    ASSERT_EQ(keys.size(), 3u);
    const auto& identity = keys[0].m_transform.m_rotation;
    EXPECT_EQ(identity.w, 1.0f);
    EXPECT_EQ(identity.x, 0.0f);
    EXPECT_EQ(keys[1].m_transform.m_rotation.x, 1.0f);
    EXPECT_EQ(keys[1].m_transform.m_rotation.w, 0.0f);
}

TEST_F(AnimationTest, BlocksMergeByIndexAndTheLastBlockGivesTheTimes) {
    const auto& keys = Read(std::string("AnimationSet S { Animation A { ") + kKeys3Rotations + kKeys5Positions + " } }")
                           .m_animationSets[0]->m_animations[0]->m_keys;
    ASSERT_EQ(keys.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(keys[i].m_time, 5.0f + 10 * i) << "times of the position block, read last";
        EXPECT_EQ(keys[i].m_transform.m_translation.x, 1.0f + i);
    }
    EXPECT_EQ(keys[2].m_transform.m_rotation.y, 1.0f) << "keys 0 to 2 have both";
    EXPECT_EQ(keys[3].m_transform.m_rotation.w, 1.0f) << "keys 3 and 4 the identity rotation";

    cModel other;
    const std::string path = (m_scratch.Path() / "other.x").string();
    std::ofstream(path) << "xof 0303txt 0032\nAnimationSet S { Animation A { " << kKeys5Positions << kKeys3Rotations
                        << " } }";
    ASSERT_TRUE(other.ReadAnimations(path));
    const auto& reversed = other.m_animationSets[0]->m_animations[0]->m_keys;
    EXPECT_EQ(reversed[1].m_time, 10.0f) << "the rotation block, read last, gives keys 0 to 2 their times";
    EXPECT_EQ(reversed[3].m_time, 35.0f);
}

TEST_F(AnimationTest, MatrixKeysReplaceTheWholeTransform) {
    const auto& keys =
        Read("AnimationSet S { Animation A {\n"
             " AnimationKey { 2; 1; 0; 3; 9,9,9;;; }\n"
             " AnimationKey { 4; 1; 7; 16; 0,2,0,0, -2,0,0,0, 0,0,2,0, 1,2,3,1;;; } } }")
            .m_animationSets[0]->m_animations[0]->m_keys;
    ASSERT_EQ(keys.size(), 1u);
    const auto& t = keys[0].m_transform;
    EXPECT_EQ(t.m_translation, D3DXVECTOR3(1, 2, 3));
    EXPECT_NEAR(t.m_scale.x, 2.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(t.m_rotation.z), std::sqrt(0.5f), 1e-6f) << "a quarter turn about z";
    EXPECT_EQ(keys[0].m_time, 7.0f);
}

TEST_F(AnimationTest, AllKeysAtZeroGiveLengthZero) {
    EXPECT_EQ(Read("AnimationSet S { Animation A { AnimationKey { 1; 2; 0; 3; 1,1,1;;, 0; 3; 2,2,2;;; } } }")
                  .m_animationSets[0]
                  ->m_length,
              0);
}

TEST_F(AnimationTest, AFileThatCannotBeReadGivesNoSets) {
    CapturedDebugOutput out;
    EXPECT_FALSE(m_model.ReadAnimations((m_scratch.Path() / "missing.x").string()));
    EXPECT_TRUE(m_model.m_animationSets.empty());
    EXPECT_NE(out.Text().find("CreateEnumObject"), std::string::npos) << "a checked call's trace: " << out.Text();
}

TEST_F(AnimationTest, BindAnimationsFindsFramesByName) {
    cModel& model = Read("Frame Arm { }\nFrame Tail { }\n"
                         "AnimationSet S { Animation A { { Arm } } Animation B { { Tail } } Animation C { } }");
    char rootName[] = "Root", armName[] = "Arm";
    Vorel::cFrame root{}, arm{};
    root.Name = rootName;
    arm.Name = armName;
    root.pFrameFirstChild = &arm;
    model.m_frameRoot = &root;
    model.BindAnimations();
    const auto& animations = model.m_animationSets[0]->m_animations;
    EXPECT_EQ(animations[0]->m_frame, &arm);
    EXPECT_EQ(animations[1]->m_frame, nullptr) << "no frame of that name in the tree";
    EXPECT_EQ(animations[2]->m_frame, nullptr) << "an animation that names no frame";
    model.m_frameRoot = nullptr;  // the tree is the test's, not the model's to free
}

// A data object made up in the test: a key block whose payload is shorter
// than its key count implies, which no file read by the platform can give.
class FakeData final : public ID3DXFileData {
public:
    FakeData(const GUID& type, std::string payload) : m_type(type), m_payload(std::move(payload)) {}
    ULONG WINAPI AddRef() override { return 1; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI GetEnum(ID3DXFileEnumObject**) override { return E_NOTIMPL; }
    HRESULT WINAPI GetName(LPSTR name, SIZE_T* size) override {
        if (name) *name = '\0';
        *size = 1;
        return S_OK;
    }
    HRESULT WINAPI GetId(LPGUID) override { return E_NOTIMPL; }
    HRESULT WINAPI Lock(SIZE_T* size, LPCVOID* data) override {
        *size = m_payload.size();
        *data = m_payload.data();
        return S_OK;
    }
    HRESULT WINAPI Unlock() override { return S_OK; }
    HRESULT WINAPI GetType(GUID* type) override {
        *type = m_type;
        return S_OK;
    }
    BOOL WINAPI IsReference() override { return FALSE; }
    HRESULT WINAPI GetChildren(SIZE_T* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT WINAPI GetChild(SIZE_T, ID3DXFileData**) override { return E_INVALIDARG; }

private:
    GUID m_type;
    std::string m_payload;
};

TEST(AnimationKeys, AShortKeyBlockGivesTheKeysThatFit) {
    std::string payload;
    const auto dword = [&](uint32_t v) { payload.append(reinterpret_cast<const char*>(&v), 4); };
    const auto flt = [&](float v) { payload.append(reinterpret_cast<const char*>(&v), 4); };
    dword(2), dword(4);                              // position keys, four of them
    dword(0), dword(3), flt(1), flt(2), flt(3);      // key 0
    dword(9), dword(3), flt(4), flt(5), flt(6);      // key 1
    dword(99), dword(3), flt(7);                     // key 2, cut short

    cModel model;
    FakeData set(TID_D3DRMAnimationSet, ""), animation(TID_D3DRMAnimation, ""), keys(TID_D3DRMAnimationKey, payload);
    model.ReadDataObject(nullptr, &set);
    model.ReadDataObject(&set, &animation);
    CapturedDebugOutput out;
    model.ReadDataObject(&animation, &keys);
    const auto& read = model.m_animationSets[0]->m_animations[0]->m_keys;
    ASSERT_EQ(read.size(), 2u) << "none past the end";
    EXPECT_EQ(read[1].m_transform.m_translation, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(model.m_animationSets[0]->m_length, 9);
    EXPECT_NE(out.Text().find("holds 2 of its 4 keys"), std::string::npos) << out.Text();
}

}  // namespace
