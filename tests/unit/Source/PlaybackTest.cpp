#include <gtest/gtest.h>

#include <cmath>

#include "MathSupport.h"
#include "TestSupport.h"
#include "cModel.h"
#include "cTimeline.h"
#include "cViewTools.h"

namespace {

using namespace VorelTest;
using Vorel::cAnimationSet;
using Vorel::cBoneAnimation;
using Vorel::cFrame;
using Vorel::cModel;
using Vorel::cQuaternion;
using Vorel::cTimeline;
using Vorel::cVectorKey;
using Vorel::cViewTools;
using Vorel::cVQS;

std::vector<cVectorKey> Along(std::initializer_list<std::pair<float, float>> keys) {
    std::vector<cVectorKey> track;
    for (const auto& [time, x] : keys)
        track.push_back({time, {x, 0, 0}});
    return track;
}

// A model of one set over frames made here: each animated frame is a child
// of the root whose bind pose stands at x = -1 with scale 2.
class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        D3DXMatrixIdentity(&m_root.TransformationMatrix);
        m_model.m_frameRoot = &m_root;
        AddSet(100);
    }
    void TearDown() override { m_model.m_frameRoot = nullptr; }  // the frames are the test's

    cAnimationSet& AddSet(int32_t length) {
        auto& set = m_model.m_animationSets.emplace_back(std::make_unique<cAnimationSet>());
        set->m_length = length;
        return *set;
    }
    cFrame* Frame() {
        cFrame* frame = m_frames.emplace_back(std::make_unique<cFrame>()).get();
        D3DXMATRIX scale, move;
        D3DXMatrixScaling(&scale, 2, 2, 2);
        D3DXMatrixTranslation(&move, -1, 0, 0);
        frame->TransformationMatrix = scale * move;
        frame->pFrameSibling = m_root.pFrameFirstChild;
        m_root.pFrameFirstChild = frame;
        m_model.InitLocalTransforms();
        return frame;
    }
    cBoneAnimation& Animate(cFrame* frame, size_t set = 0) {
        auto& animation =
            m_model.m_animationSets[set]->m_animations.emplace_back(std::make_unique<cBoneAnimation>());
        animation->m_frame = frame;
        return *animation;
    }
    cFrame* Moving(std::initializer_list<std::pair<float, float>> keys) {
        cFrame* frame = Frame();
        Animate(frame).m_translationKeys = Along(keys);
        return frame;
    }
    float X(const cFrame* frame) const { return frame->m_local.m_translation.x; }

    cModel m_model;
    cFrame m_root{};
    std::vector<std::unique_ptr<cFrame>> m_frames;
};

TEST_F(PlaybackTest, TracksHoldTheirEndsAndKeysSharingATimeGiveTheLaterOne) {
    cFrame* late = Moving({{60, 5}, {90, 8}});
    cFrame* single = Moving({{40, 42}});
    cFrame* twice = Moving({{0, 0}, {50, 10}, {50, 30}, {100, 40}});
    const struct {
        float time, late, single, twice;
    } cases[] = {
        {30, 5, 42, 6},      // before the first key: held at it
        {75, 6.5f, 42, 35},  // between keys
        {95, 8, 42, 39},     // after the last: held at it
        {50, 5, 42, 30},     // on a shared time: the later key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("at " + std::to_string(c.time));
        m_model.EvaluateKeys(c.time);
        EXPECT_NEAR(X(late), c.late, kTight);
        EXPECT_NEAR(X(single), c.single, kTight);
        EXPECT_NEAR(X(twice), c.twice, kTight);
    }
}

// Each track at its own times; what no track drives keeps the bind pose.
TEST_F(PlaybackTest, EachComponentFollowsItsOwnTrack) {
    cFrame* frame = Frame();
    cBoneAnimation& animation = Animate(frame);
    const cQuaternion quarterTurn(0, std::sqrt(0.5f), 0, std::sqrt(0.5f));
    animation.m_rotationKeys = {{0, quarterTurn}};
    animation.m_translationKeys = Along({{10, 1}, {30, 3}});
    m_model.EvaluateKeys(20);
    const cVQS& local = frame->m_local;
    EXPECT_NEAR(local.m_translation.x, 2, kTight);
    EXPECT_NEAR(local.m_rotation.y, quarterTurn.y, kTight) << "a one-key track holds its key";
    EXPECT_NEAR(local.m_scale.x, 2, kTight) << "no scale track: the bind pose's scale, not 1";

    // A matrix track gives the whole transform; a component track beside it
    // overrides its part.
    animation.m_rotationKeys.clear();
    cVQS whole;
    whole.m_scale = {3, 3, 3};
    whole.m_translation = {0, 9, 0};
    animation.m_matrixKeys = {{0, whole}};
    m_model.EvaluateKeys(20);
    EXPECT_NEAR(local.m_scale.y, 3, kTight);
    EXPECT_EQ(local.m_translation, D3DXVECTOR3(2, 0, 0));
    EXPECT_NEAR(local.m_rotation.w, 1, kTight);

    // A set that does not animate the frame leaves it in its bind pose, not
    // where the other set left it.
    AddSet(100);
    m_model.m_currentSet = 1;
    m_model.EvaluateKeys(20);
    EXPECT_EQ(local.m_translation, D3DXVECTOR3(-1, 0, 0));
}

TEST_F(PlaybackTest, TimeLoopsOverTheSetsLengthAndOddTimesAndSetsAreSafe) {
    cFrame* frame = Moving({{0, 0}, {100, 100}});
    const struct { float time, x; } cases[] = {{250.9f, 50.9f}, {99.99f, 99.99f}, {100, 0}, {0.25f, 0.25f}};
    for (const auto& c : cases) {
        m_model.EvaluateKeys(c.time);
        EXPECT_NEAR(X(frame), c.x, 1e-3f) << "at " << c.time << ", without losing the fraction";
    }
    for (float time : {NAN, INFINITY, 1e30f, -5.0f}) {
        m_model.EvaluateKeys(time);
        EXPECT_TRUE(std::isfinite(X(frame))) << time;
    }
    cFrame* still = Moving({{0, 3}, {0, 7}});
    m_model.m_animationSets[0]->m_length = 0;
    m_model.EvaluateKeys(1234);  // held at time 0
    EXPECT_FLOAT_EQ(X(still), 7) << "two keys at one time: the later one";
    m_model.m_currentSet = 5;  // the platform can report more sets than were read
    m_model.EvaluateKeys(10);
    EXPECT_EQ(m_model.m_currentSet, 0u);
}

// The clock runs in the set's own ticks and stays within its length.
TEST_F(PlaybackTest, TheClockAdvancesAtTheSetsTickRate) {
    cFrame* frame = Moving({{0, 0}, {24, 24}});
    cAnimationSet& set = *m_model.m_animationSets[0];
    set.m_length = 24;
    set.m_ticksPerSecond = 24;
    m_model.AdvanceClock(500);
    EXPECT_NEAR(m_model.m_time, 12, kTight) << "half a second, half the set";
    m_model.Update(m_model.m_time);
    EXPECT_NEAR(X(frame), 12, kTight) << "interpolated, not stepped to a whole tick";
    m_model.AdvanceClock(510);
    EXPECT_NEAR(m_model.m_time, 0.24f, 1e-3f) << "one second plays the whole set";
    m_model.m_speed = 2;
    m_model.AdvanceClock(125);
    EXPECT_NEAR(m_model.m_time, 6.24f, 1e-3f);

    set.m_ticksPerSecond = cAnimationSet::kDefaultTicksPerSecond;
    m_model.m_time = 0;
    m_model.m_speed = 1;
    m_model.AdvanceClock(16);
    EXPECT_EQ(m_model.m_time, 16) << "a tick a millisecond";
    for (int i = 0; i < 100000; ++i)
        m_model.AdvanceClock(16);
    EXPECT_LT(m_model.m_time, 24) << "hours of play keep the time small";
}

// Steps of a thirtieth of a second of the set's time, held at the ends; key
// times from every track of the set, the nearest before or after.
TEST_F(PlaybackTest, TheTimelineStepsAndGoesFromKeyToKeyAcrossTracks) {
    Moving({{0, 0}, {40, 1}});
    Animate(Frame()).m_rotationKeys = {{10, cQuaternion()}, {90, cQuaternion()}};
    m_model.m_animationSets[0]->m_ticksPerSecond = 300;  // a step of 10 ticks
    m_model.m_time = 35;
    EXPECT_FLOAT_EQ(cTimeline::Step(m_model, 1), 45);
    EXPECT_EQ(cTimeline::Step(m_model, -4), 0.0f) << "held at the start";
    EXPECT_EQ(cTimeline::Key(m_model, 1), 40.0f);
    EXPECT_EQ(cTimeline::Key(m_model, -1), 10.0f);
    m_model.m_time = 40;
    EXPECT_EQ(cTimeline::Key(m_model, 1), 90.0f) << "not the key it stands on";
    m_model.m_time = 95;
    EXPECT_EQ(cTimeline::Key(m_model, 1), cTimeline::End(m_model)) << "none after: the end";
    EXPECT_EQ(cTimeline::Step(m_model, 1), cTimeline::End(m_model));
    EXPECT_TRUE(cTimeline::End(m_model) < 100 && cTimeline::End(m_model) > 99.99f);
    // A press on the timeline, and its key marks: each time once, in order.
    EXPECT_EQ(cTimeline::TimeAt(m_model, 0.25f), 25.0f);
    EXPECT_EQ(cTimeline::TimeAt(m_model, 1.5f), cTimeline::End(m_model));
    EXPECT_EQ(cTimeline::TimeAt(m_model, -1) + cTimeline::TimeAt(m_model, NAN), 0.0f);
    std::vector<float> marks;
    cTimeline::KeyTimes(m_model, &marks);
    EXPECT_EQ(marks, (std::vector<float>{0, 10, 40, 90}));
    m_model.m_currentSet = 5;  // a set that was not read
    EXPECT_EQ(cTimeline::Step(m_model, 1) + cTimeline::Key(m_model, 1) + cTimeline::End(m_model), 0.0f);
}

// The root R with the children C1, C2, C3, none at the origin.
TEST_F(PlaybackTest, SkeletonChildrenJoinTheirParentAndLaterSiblingsTheFirst) {
    cFrame* children[3];
    for (int i = 2; i >= 0; --i)  // each made the first child
        children[i] = Frame();
    D3DXMatrixTranslation(&m_root.TransformationMatrix, 0, 1, 0);
    for (int i = 0; i < 3; ++i)
        D3DXMatrixTranslation(&children[i]->TransformationMatrix, float(i + 1), 0, 0);
    m_model.InitLocalTransforms();
    m_model.UpdateTransforms();
    EXPECT_EQ(children[1]->m_combined.m_translation, D3DXVECTOR3(2, 1, 0))
        << "children placed under their parent";

    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 10, 0, 0);
    std::vector<cModel::Line> lines;
    m_model.DrawSkeleton(world, &lines);
    const D3DXVECTOR3 r(10, 1, 0), j1(11, 1, 0), j2(12, 1, 0), j3(13, 1, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], cModel::Line(r, j1));
    EXPECT_EQ(lines[1], cModel::Line(j1, j2));
    EXPECT_EQ(lines[2], cModel::Line(j1, j3));
    EXPECT_EQ(m_model.Joints()[3], j3) << "the joints stay for the names and picking";
}

// The weight ramp runs from blue through green to red, evenly, and takes
// anything as a weight.
TEST(WeightRamp, RunsFromColdToHot) {
    EXPECT_EQ(cViewTools::WeightColour(0), 0xFF1A33D9u);
    EXPECT_EQ(cViewTools::WeightColour(1), 0xFFF21A0Du);
    EXPECT_EQ(cViewTools::WeightColour(0.5f), 0xFF26D933u) << "green in the middle";
    EXPECT_EQ(cViewTools::WeightColour(-3), cViewTools::WeightColour(0));
    EXPECT_EQ(cViewTools::WeightColour(7), cViewTools::WeightColour(1));
    EXPECT_EQ(cViewTools::WeightColour(NAN), cViewTools::WeightColour(0));
    EXPECT_EQ(cViewTools::WeightColour(0.25f), 0xFF00BFF2u) << "cyan";
    EXPECT_EQ(cViewTools::WeightColour(0.75f), 0xFFFFD900u) << "yellow";
}

}  // namespace
