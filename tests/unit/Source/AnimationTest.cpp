#include <gtest/gtest.h>
#include <rmxfguid.h>

#include <cmath>

#include "MathSupport.h"
#include "TestSupport.h"
#include "cModelLoader.h"

namespace {

using namespace VorelTest;
using Vorel::cModel;
using Vorel::cQuaternion;

// A model with the animation sets of the given .x text.
class AnimationTest : public ::testing::Test {
protected:
    cModel& Read(const std::string& body) {
        const std::string path = (m_scratch.Path() / "model.x").string();
        WriteFile(path, "xof 0303txt 0032\n" + body);
        EXPECT_TRUE(m_model.ReadAnimations(path));
        return m_model;
    }
    const Vorel::cBoneAnimation& OnlyAnimation(const std::string& keyBlocks) {
        m_model.m_animationSets.clear();
        return *Read("AnimationSet S { Animation A { " + keyBlocks + " } }")
                    .m_animationSets[0]
                    ->m_animations[0];
    }
    ScratchFolder m_scratch;
    cModel m_model;
};

const char* kKeys3Rotations = "AnimationKey { 0; 3; 0; 4; 1,0,0,0;;, 10; 4; 0,1,0,0;;, 20; 4; 0,0,1,0;;; }";
const char* kKeys5Positions =
    "AnimationKey { 2; 5; 5; 3; 1,0,0;;, 15; 3; 2,0,0;;, 25; 3; 3,0,0;;, 35; 3; 4,0,0;;, 45; 3; 5,0,0;;; }";

TEST_F(AnimationTest, SetsAnimationsAndBoneNames) {
    cModel& model =
        Read(std::string("Frame Arm { Frame Leg { } }\nAnimation Stray { { Arm } }\n") +
             "AnimationSet Walk { Animation A { { Arm } " + kKeys3Rotations + " }\n" + " Animation B { " +
             kKeys5Positions + " { Leg } } }\nAnimationSet Idle { }\n" +
             "AnimationSet Still { Animation { AnimationKey { 1; 2; 0; 3; 1,1,1;;, 0; 3; 2,2,2;;; } } }\n");
    ASSERT_EQ(model.m_animationSets.size(), 3u) << "an animation outside any set is not read";
    const auto& walk = *model.m_animationSets[0];
    EXPECT_EQ(walk.m_name, "Walk");
    ASSERT_EQ(walk.m_animations.size(), 2u);
    EXPECT_EQ(walk.m_animations[0]->m_name, "Arm");
    EXPECT_EQ(walk.m_animations[1]->m_name, "Leg") << "the frame reference may follow the keys";
    EXPECT_EQ(walk.m_length, 45) << "the largest key time of the set";
    EXPECT_EQ(model.m_animationSets[1]->m_name, "Idle");
    EXPECT_EQ(model.m_animationSets[1]->m_length, 0);
    EXPECT_EQ(model.m_animationSets[2]->m_length, 0) << "all keys at 0";
}

// A key (w, x, y, z) is D3DX's (-x, -y, -z, w), normalised.
TEST_F(AnimationTest, RotationKeysAreTheConjugateOfD3DXsQuaternionNormalised) {
    const auto& keys = OnlyAnimation(
                           "AnimationKey { 0; 5; 0; 4; 1,0,0,0;;, 1; 4; 0,1,0,0;;, "
                           "2; 4; 0.4850,0.4850,0.4850,0.4850;;, 3; 4; 0.7071068,0,-0.7071068,0;;, "
                           "4; 4; -1,0,0,0;;; }")
                           .m_rotationKeys;
    const cQuaternion expected[] = {{0, 0, 0, 1},
                                    {-1, 0, 0, 0},
                                    {-0.5f, -0.5f, -0.5f, 0.5f},
                                    {0, 0.7071068f, 0, 0.7071068f},
                                    {0, 0, 0, -1}};
    ASSERT_EQ(keys.size(), std::size(expected));
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE("key " + std::to_string(i));
        EXPECT_EQ(keys[i].m_time, static_cast<float>(i));
        ExpectNear(keys[i].m_value, expected[i], kTight);
    }

    CapturedDebugOutput out;
    const auto& zero = OnlyAnimation("AnimationKey { 0; 1; 0; 4; 0,0,0,0;;; }").m_rotationKeys;
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_EQ(zero[0].m_value.w, 1.0f) << "a key of length zero is no rotation";
    EXPECT_NE(out.Text().find("length zero"), std::string::npos) << out.Text();
}

TEST_F(AnimationTest, EachBlockIsATrackOfItsOwnInTimeOrder) {
    for (const std::string& blocks :
         {std::string(kKeys3Rotations) + kKeys5Positions, std::string(kKeys5Positions) + kKeys3Rotations}) {
        const auto& animation = OnlyAnimation(blocks);
        ASSERT_EQ(animation.m_rotationKeys.size(), 3u);
        ASSERT_EQ(animation.m_translationKeys.size(), 5u);
        EXPECT_TRUE(animation.m_scaleKeys.empty());
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(animation.m_rotationKeys[i].m_time, 10.0f * i);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(animation.m_translationKeys[i].m_time, 5.0f + 10 * i);
            EXPECT_EQ(animation.m_translationKeys[i].m_value.x, 1.0f + i);
        }
    }
    // Out of order, and two keys at one time: sorted, the two kept in file
    // order so that the later one wins.
    const auto& scale = OnlyAnimation(
                            "AnimationKey { 1; 4; 30; 3; 3,3,3;;, 10; 3; 1,1,1;;, 20; 3; 7,7,7;;, "
                            "20; 3; 2,2,2;;; }")
                            .m_scaleKeys;
    ASSERT_EQ(scale.size(), 4u);
    const float times[] = {10, 20, 20, 30}, values[] = {1, 7, 2, 3};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(scale[i].m_time, times[i]);
        EXPECT_EQ(scale[i].m_value.x, values[i]);
    }
}

TEST_F(AnimationTest, MatrixKeysAreATrackOfWholeTransforms) {
    const auto& animation = OnlyAnimation(
        "AnimationKey { 2; 1; 0; 3; 9,9,9;;; }\n"
        "AnimationKey { 4; 1; 7; 16; 0,2,0,0, -2,0,0,0, 0,0,2,0, 1,2,3,1;;; }");
    ASSERT_EQ(animation.m_matrixKeys.size(), 1u);
    EXPECT_EQ(animation.m_translationKeys.size(), 1u) << "the position block stays a track of its own";
    const auto& t = animation.m_matrixKeys[0].m_value;
    EXPECT_EQ(t.m_translation, D3DXVECTOR3(1, 2, 3));
    EXPECT_NEAR(t.m_scale.x, 2.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(t.m_rotation.z), std::sqrt(0.5f), 1e-6f) << "a quarter turn about z";
    EXPECT_EQ(animation.m_matrixKeys[0].m_time, 7.0f);
}

// The rate before a set applies to it; a set before any rate takes the
// file's first; a file without one plays a tick a millisecond.
TEST_F(AnimationTest, EachSetKeepsTheTickRateThatAppliesToIt) {
    const struct {
        const char* body;
        std::vector<float> rates;
    } cases[] = {
        {"AnimationSet A { } AnimTicksPerSecond { 24; } AnimationSet B { } AnimTicksPerSecond { 4800; } "
         "AnimationSet C { } AnimationSet D { }",
         {24, 24, 4800, 4800}},
        {"AnimationSet A { } AnimationSet B { }", {1000, 1000}},
        {"AnimTicksPerSecond fps { 30; } AnimationSet A { } AnimTicksPerSecond { 0; } AnimationSet B { }",
         {30, 30}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        m_model.m_animationSets.clear();
        CapturedDebugOutput quiet;
        const auto& sets = Read(c.body).m_animationSets;
        ASSERT_EQ(sets.size(), c.rates.size());
        for (size_t i = 0; i < sets.size(); ++i)
            EXPECT_EQ(sets[i]->m_ticksPerSecond, c.rates[i]) << sets[i]->m_name;
    }
}

TEST_F(AnimationTest, AFileThatCannotBeReadGivesNoSets) {
    CapturedDebugOutput out;
    EXPECT_FALSE(m_model.ReadAnimations((m_scratch.Path() / "missing.x").string()));
    EXPECT_TRUE(m_model.m_animationSets.empty());
    EXPECT_NE(out.Text().find("CreateEnumObject"), std::string::npos)
        << "a checked call's trace: " << out.Text();
}

TEST_F(AnimationTest, BindAnimationsFindsFramesByName) {
    const std::string path = (m_scratch.Path() / "bound.x").string();
    WriteFile(path,
              "xof 0303txt 0032\nFrame Root { Frame Arm { } }\nAnimationSet S { Animation A { { Arm } } "
              "Animation B { { Tail } } Animation C { } }\nFrame Tail { }\n");
    Vorel::cModelLoader loader;
    const cModel* model = loader.LoadModel(path, "bound.x");
    const auto& animations = model->m_animationSets[0]->m_animations;
    EXPECT_EQ(animations[0]->m_frame, model->FindFrame("Arm"));
    EXPECT_NE(animations[0]->m_frame, nullptr);
    EXPECT_EQ(animations[1]->m_frame, model->FindFrame("Tail")) << "a frame that comes after the set";
    EXPECT_EQ(animations[2]->m_frame, nullptr) << "an animation that names no frame";
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
        if (name != nullptr) *name = '\0';
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
    dword(2), dword(4);                          // position keys, four of them
    dword(0), dword(3), flt(1), flt(2), flt(3);  // key 0
    dword(9), dword(3), flt(4), flt(5), flt(6);  // key 1
    dword(99), dword(3), flt(7);                 // key 2, cut short

    cModel model;
    FakeData set(TID_D3DRMAnimationSet, ""), animation(TID_D3DRMAnimation, ""),
        keys(TID_D3DRMAnimationKey, payload);
    model.ReadDataObject(nullptr, &set);
    model.ReadDataObject(&set, &animation);
    CapturedDebugOutput out;
    model.ReadDataObject(&animation, &keys);
    const auto& read = model.m_animationSets[0]->m_animations[0]->m_translationKeys;
    ASSERT_EQ(read.size(), 2u) << "none past the end";
    EXPECT_EQ(read[1].m_value, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(model.m_animationSets[0]->m_length, 9);
    EXPECT_NE(out.Text().find("holds 2 of its 4 keys"), std::string::npos) << out.Text();
}

}  // namespace
