#include <gtest/gtest.h>

#include <cmath>

#include "MathSupport.h"
#include "cModel.h"

namespace {

using namespace VorelTest;
using Vorel::cAnimationSet;
using Vorel::cBoneAnimation;
using Vorel::cFrame;
using Vorel::cKeyFrame;
using Vorel::cModel;
using Vorel::cVQS;

cKeyFrame Key(float time, float x) {
    cKeyFrame key;
    key.m_time = time;
    key.m_transform.m_translation = {x, 0, 0};
    return key;
}

// A model of one set over frames made here: keys move each frame along x.
class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto set = std::make_unique<cAnimationSet>();
        set->m_length = 100;
        m_model.m_animationSets.push_back(std::move(set));
    }
    void TearDown() override { m_model.m_frameRoot = nullptr; }  // the frames are the test's

    cFrame* Animate(std::vector<cKeyFrame> keys) {
        auto& frame = m_frames.emplace_back(std::make_unique<cFrame>());
        frame->m_local.m_translation = {-1, 0, 0};  // the pose before any key applies
        auto animation = std::make_unique<cBoneAnimation>();
        animation->m_frame = frame.get();
        animation->m_keys = std::move(keys);
        m_model.m_animationSets[0]->m_animations.push_back(std::move(animation));
        return frame.get();
    }

    cModel m_model;
    std::vector<std::unique_ptr<cFrame>> m_frames;
};

TEST_F(PlaybackTest, TimeLoopsOverTheSetsLength) {
    cFrame* frame = Animate({Key(0, 0), Key(100, 100)});
    m_model.EvaluateKeys(250.9f);  // truncated to 250, then 250 mod 100
    EXPECT_FLOAT_EQ(frame->m_local.m_translation.x, 50);
    m_model.EvaluateKeys(99.99f);
    EXPECT_FLOAT_EQ(frame->m_local.m_translation.x, 99);
}

TEST_F(PlaybackTest, TheFirstPairThatHoldsTheTimeWins) {
    cFrame* frame = Animate({Key(0, 0), Key(50, 10), Key(100, 20)});
    m_model.m_animationSets[0]->m_length = 200;
    m_model.EvaluateKeys(50);
    EXPECT_FLOAT_EQ(frame->m_local.m_translation.x, 10) << "the pair (0, 50) at its end";
    m_model.EvaluateKeys(75);
    EXPECT_FLOAT_EQ(frame->m_local.m_translation.x, 15);
}

TEST_F(PlaybackTest, BonesWithoutAPairForTheTimeKeepTheirPose) {
    cFrame* late = Animate({Key(60, 5), Key(90, 8)});
    cFrame* single = Animate({Key(0, 42)});
    m_model.EvaluateKeys(30);
    EXPECT_FLOAT_EQ(late->m_local.m_translation.x, -1) << "before its first key";
    EXPECT_FLOAT_EQ(single->m_local.m_translation.x, -1) << "one key is never played";
    m_model.EvaluateKeys(75);
    EXPECT_FLOAT_EQ(late->m_local.m_translation.x, 6.5f);
}

TEST_F(PlaybackTest, ZeroLengthsEqualTimesAndSetsPastTheListAreSafe) {
    cFrame* frame = Animate({Key(0, 3), Key(0, 7), Key(0, 9)});
    m_model.m_animationSets[0]->m_length = 0;
    m_model.EvaluateKeys(1234);  // held at time 0
    EXPECT_FLOAT_EQ(frame->m_local.m_translation.x, 7) << "two keys at one time: the later one";
    m_model.m_currentSet = 5;  // the platform can report more sets than were read
    m_model.EvaluateKeys(10);
    EXPECT_EQ(m_model.m_currentSet, 0u);
    m_model.EvaluateKeys(NAN);
    m_model.EvaluateKeys(1e30f);
    EXPECT_TRUE(std::isfinite(frame->m_local.m_translation.x));
}

// R with the children C1, C2, C3, none at the origin.
TEST(Skeleton, ChildrenJoinTheirParentAndLaterSiblingsTheFirst) {
    cFrame root{}, c1{}, c2{}, c3{};
    root.m_local.m_translation = {0, 1, 0};
    c1.m_local.m_translation = {1, 0, 0};
    c2.m_local.m_translation = {2, 0, 0};
    c3.m_local.m_translation = {3, 0, 0};
    root.pFrameFirstChild = &c1;
    c1.pFrameSibling = &c2;
    c2.pFrameSibling = &c3;
    cModel model;
    model.m_frameRoot = &root;
    model.UpdateTransforms(&root, nullptr);
    EXPECT_EQ(c2.m_combined.m_translation, D3DXVECTOR3(2, 1, 0)) << "children placed under their parent";

    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 10, 0, 0);
    std::vector<cModel::Line> lines;
    model.DrawSkeleton(world, &lines);
    const D3DXVECTOR3 r(10, 1, 0), j1(11, 1, 0), j2(12, 1, 0), j3(13, 1, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], cModel::Line(r, j1));
    EXPECT_EQ(lines[1], cModel::Line(j1, j2));
    EXPECT_EQ(lines[2], cModel::Line(j1, j3));
    model.m_frameRoot = nullptr;
}

TEST(Skeleton, AJointAtTheOriginIsNeverAStart) {
    cFrame root{}, child{};
    root.pFrameFirstChild = &child;  // the root's joint is the origin
    child.m_local.m_translation = {0, 2, 0};
    cModel model;
    model.m_frameRoot = &root;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    std::vector<cModel::Line> lines;
    model.DrawSkeleton(identity, &lines);
    EXPECT_TRUE(lines.empty());
    model.m_frameRoot = nullptr;
}

}  // namespace
